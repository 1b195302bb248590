// The browser view's facility pane: a table per router (a row routes the
// chosen source there, as another controller would), the names databases
// and the faults. Loaded before panel.js, whose `state`, `$` and
// `runStep` it uses when it draws.
'use strict';

function nameOf(router, database, index) {
  const names = router.names[database];
  return (names && names[index]) || '';
}

// The rows a press routed keep that control's name until they change
// again: "device/destination" -> { control, source it left there }.
const pressedRows = new Map();
let pressSeen = 0;

function rowKey(device, destination) {
  return device + '/' + destination;
}

// Arrow keys move between the rows of a router table, Enter or Space routes
// the row that has the focus; the table is one stop for Tab.
function rowKeys(scroll, event) {
  const rows = [...scroll.querySelectorAll('tbody tr')].filter((row) => !row.hidden);
  if (rows.length === 0) return;
  const at = rows.indexOf(document.activeElement);
  let next = null;
  if (event.key === 'ArrowDown') next = rows[Math.min(rows.length - 1, at + 1)];
  else if (event.key === 'ArrowUp') next = rows[Math.max(0, at - 1)];
  else if (event.key === 'Home') next = rows[0];
  else if (event.key === 'End') next = rows[rows.length - 1];
  else if ((event.key === 'Enter' || event.key === ' ') && at >= 0) {
    event.preventDefault();
    rows[at].click();
    return;
  } else return;
  event.preventDefault();
  next.focus();
}

function routerTools(router, source) {
  const tools = document.createElement('div');
  const filter = document.createElement('input');
  filter.placeholder = 'filter';
  filter.className = 'router-filter';
  filter.size = 10;
  filter.setAttribute('aria-label', 'filter the rows of router ' + router.device);
  source.className = 'route-source';
  source.setAttribute('aria-label', 'source to route on router ' + router.device);
  for (let s = 0; s <= router.sources; ++s) source.appendChild(new Option(s + ' ' + nameOf(router, '0', s), s));
  source.value = '1';
  const hint = document.createElement('span');
  hint.className = 'hint';
  hint.textContent = ' click a row (or Enter on it) to route';
  tools.append(filter, ' source ', source, hint);
  return { tools, filter };
}

function buildRouter(router) {
  const box = document.createElement('div');
  box.className = 'router';
  box.dataset.router = router.device;
  const title = document.createElement('h3');
  title.textContent = router.device + ' · ' + router.name + ' (' + router.sources + ' × ' + router.destinations + ')';
  const source = document.createElement('select');
  const { tools, filter } = routerTools(router, source);
  const scroll = document.createElement('div');
  scroll.className = 'router-scroll';
  scroll.tabIndex = 0;
  scroll.setAttribute('role', 'region');
  scroll.setAttribute('aria-label', 'crosspoints of router ' + router.device);
  scroll.addEventListener('keydown', (event) => rowKeys(scroll, event));
  const table = document.createElement('table');
  table.innerHTML = '<thead><tr><th scope="col">dest</th><th scope="col">name</th><th scope="col">source</th>' +
    '<th scope="col">name</th><th scope="col">routed by</th></tr></thead>';
  const body = document.createElement('tbody');
  for (let d = 1; d <= router.destinations; ++d) {
    const row = document.createElement('tr');
    row.dataset.router = router.device;
    row.dataset.destination = d;
    row.tabIndex = -1;
    for (let i = 0; i < 5; ++i) row.appendChild(document.createElement('td'));
    row.cells[4].className = 'routed-by';
    row.addEventListener('click', () => runStep(`route ${router.device} ${source.value} ${d}`));
    row.addEventListener('animationend', () => row.classList.remove('flash'));
    body.appendChild(row);
  }
  table.appendChild(body);
  scroll.appendChild(table);
  filter.addEventListener('input', () => {
    const wanted = filter.value.toLowerCase();
    for (const row of body.rows) row.hidden = wanted !== '' && !row.textContent.toLowerCase().includes(wanted);
  });
  box.append(title, tools, scroll);
  return box;
}

function markPressed(row, key, source) {
  const mark = pressedRows.get(key);
  if (mark && mark.source !== source) pressedRows.delete(key);  // changed since the press
  const control = mark && mark.source === source ? mark.control : undefined;
  if ((row.dataset.pressed ?? '') === (control ?? '')) return;
  if (control) row.dataset.pressed = control;
  else delete row.dataset.pressed;
  row.cells[4].textContent = control || '';
}

function updateRouter(box, router) {
  box.dataset.online = String(router.online);
  const rows = box.querySelector('tbody').rows;
  router.crosspoints.forEach((source, i) => {
    const row = rows[i];
    const destination = i + 1;
    if (row.dataset.source !== undefined && row.dataset.source !== String(source)) {
      // A change flashes the row.
      row.classList.remove('flash');
      void row.offsetWidth;  // starts the animation again
      row.classList.add('flash');
    }
    markPressed(row, rowKey(router.device, destination), source);
    if (row.dataset.source === String(source) && row.dataset.names === '1') return;
    row.dataset.source = source;
    row.dataset.names = '1';
    row.cells[0].textContent = destination;
    row.cells[1].textContent = nameOf(router, '1', destination);
    row.cells[2].textContent = source;
    row.cells[3].textContent = nameOf(router, '0', source);
  });
}

// A new press marks the rows it routed with its control's name, and the
// source each carries now.
function notePress(press) {
  if (!press || press.number === pressSeen) return;
  pressSeen = press.number;
  for (const { device, destination } of press.routed) {
    const router = state.routers.find((r) => r.device === device);
    if (router) pressedRows.set(rowKey(device, destination), { control: press.control,
      source: router.crosspoints[destination - 1] });
  }
}

function renderNames() {
  const names = $('names');
  const namesKey = JSON.stringify([state.routers.map((r) => r.names), state.namesDevices]);
  if (names.dataset.key === namesKey) return;
  names.dataset.key = namesKey;
  names.replaceChildren();
  for (const device of [...state.namesDevices, ...state.routers]) {
    const box = document.createElement('div');
    box.className = 'names';
    box.dataset.device = device.device;
    const title = document.createElement('h3');
    title.textContent = device.device + ' · ' + device.name;
    box.appendChild(title);
    for (const [database, entries] of Object.entries(device.names)) {
      const table = document.createElement('table');
      const caption = table.createCaption();
      caption.textContent = 'database ' + database + (database === '0' ? ' (sources)' : database === '1' ? ' (destinations)' : '');
      for (const [index, name] of Object.entries(entries)) {
        const row = table.insertRow();
        row.insertCell().textContent = index;
        row.insertCell().textContent = name;
      }
      box.appendChild(table);
    }
    names.appendChild(box);
  }
}

function renderRouters() {
  const area = $('routers');
  const key = JSON.stringify(state.routers.map((r) => [r.device, r.sources, r.destinations, r.names]));
  if (area.dataset.key !== key) {
    area.replaceChildren(...state.routers.map(buildRouter));
    area.dataset.key = key;
  }
  notePress(state.lastPress);
  for (const router of state.routers) updateRouter(area.querySelector(`.router[data-router="${router.device}"]`), router);
  renderNames();
}

function renderFaults() {
  const devices = $('fault-devices');
  const all = [...state.routers, ...state.namesDevices];
  const key = all.map((d) => d.device).join(',');
  if (devices.dataset.key !== key) {
    devices.replaceChildren();
    for (const device of all) {
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.dataset.device = device.device;
      box.addEventListener('change', () => runStep(`fault ${box.checked ? 'online' : 'offline'} ${device.device}`));
      label.append(box, ' ' + device.device + ' online');
      devices.appendChild(label);
    }
    devices.dataset.key = key;
  }
  for (const device of all) devices.querySelector(`input[data-device="${device.device}"]`).checked = device.online;
  const f = state.faults;
  const parts = [];
  if (f.delay) parts.push('revertives ' + formatTime(f.delay) + ' late');
  if (f.drop) parts.push(f.drop + '% lost');
  if (f.duplicate) parts.push(f.duplicate + '% doubled');
  if (f.offline.length) parts.push('offline: ' + f.offline.join(', '));
  $('fault-status').textContent = parts.length ? 'faults: ' + parts.join('; ') : 'no faults';
  $('fault-status').dataset.faults = parts.length ? 'yes' : 'no';
}
