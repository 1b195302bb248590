// The browser view of panel_host: draws each panel from its layout and the
// facility beside it from GET /api/state and the live stream at /api/live,
// and sends everything a person does as one scenario line to POST /api/step,
// so that the page can do nothing a scenario could not.
'use strict';

const commonParameters = ['srcpkg', 'destpkg', 'matrixobject', 'uselevels', 'instance', 'srcnamesdatabase',
  'destnamesdatabase', 'takelow', 'takehigh', 'takeundobgstate', 'unusedleveltext', 'mimicstate_L1',
  'mimicstate_L2', 'mimicstate_L3'];
const maxTranscript = 400000;

let state = null;
let version = 0;  // the state's version: each delta goes from one to the next
const $ = (id) => document.getElementById(id);

// A word of a scenario line: quoted when it holds blanks, quotes or '#'.
function word(text) {
  text = String(text);
  if (text !== '' && !/[\s"\\]/.test(text) && !text.startsWith('#')) return text;
  return '"' + text.replace(/[\\"]/g, (c) => '\\' + c) + '"';
}

async function post(path, body) {
  const response = await fetch(path, { method: 'POST', body, headers: { 'Content-Type': 'text/plain' } });
  let answer = {};
  try { answer = await response.json(); } catch (e) { answer = { error: 'answer was not JSON' }; }
  return { status: response.status, answer };
}

// Runs one scenario line and shows the outcome under the line input.
async function runStep(line) {
  const result = $('step-result');
  const { status, answer } = await post('/api/step', line);
  if (status !== 200) {
    result.className = 'error';
    result.textContent = (answer.where ? answer.where + ': ' : '') + (answer.error || 'HTTP ' + status);
    return answer;
  }
  result.className = answer.ok ? '' : 'error';
  result.textContent = answer.ok ? '' : answer.failures.join('\n');
  return answer;
}

// With several components, a line for one of them carries its name
// ("B: press Take"); with one, lines read as in a scenario of one.
function addressed(component, line) {
  return state && state.components.length > 1 ? component + ': ' + line : line;
}

function formatTime(ms) {
  return (ms / 1000).toFixed(3) + 's';
}

// ---- panels -----------------------------------------------------------------

function applySheet(element, name) {
  element.dataset.statesheet = name || '';
  element.style.background = element.style.color = element.style.borderColor = element.style.fontWeight = '';
  element.classList.remove('unknown-sheet');
  element.removeAttribute('title');
  if (!name) return;
  const style = state.styles[name];
  if (!style) {
    element.classList.add('unknown-sheet');
    element.title = 'state sheet "' + name + '" has no style';
    return;
  }
  if (style.background) element.style.background = style.background;
  if (style.color) element.style.color = style.color;
  if (style.border) element.style.borderColor = style.border;
  if (style.bold) element.style.fontWeight = 'bold';
}

function buildPanel(panel) {
  const box = document.createElement('div');
  box.className = 'panel-box';
  const title = document.createElement('h2');
  title.textContent = (state.components.length > 1 ? panel.component + ' · ' : '') +
    'panel ' + panel.panel + ' · ' + panel.layout;
  const area = document.createElement('div');
  area.className = 'panel';
  area.dataset.panel = panel.panel;
  area.dataset.component = panel.component;
  area.style.width = 'calc(' + panel.width + 'px * var(--scale))';
  area.style.height = 'calc(' + panel.height + 'px * var(--scale))';
  for (const control of panel.controls) {
    const pressable = control.kind === 'button' || control.kind === 'image-button';
    const element = document.createElement(pressable ? 'button' : 'div');
    if (pressable) element.type = 'button';
    element.className = 'control kind-' + control.kind.replace(/[^a-z0-9-]/gi, '');
    element.dataset.panel = panel.panel;
    element.dataset.component = panel.component;
    element.dataset.control = control.id;
    element.dataset.kind = control.kind;
    for (const [property, edge] of [['left', 'x'], ['top', 'y'], ['width', 'w'], ['height', 'h']])
      element.style[property] = 'calc(' + control[edge] + 'px * var(--scale))';
    if (pressable) {
      element.addEventListener('click', () => {
        if (element.dataset.enabled !== 'true') return;
        runStep(addressed(panel.component,
          'press ' + word(control.id) + (panel.panel === '1' ? '' : ' on ' + word(panel.panel))));
      });
    }
    area.appendChild(element);
  }
  box.append(title, area);
  return box;
}

function updateControl(element, control) {
  const properties = control.properties;
  element.dataset.enabled = String(control.enabled);
  if (element.tagName === 'BUTTON') element.disabled = !control.enabled;
  applySheet(element, properties.statesheet);
  const text = properties.text ?? '';
  const pixmap = properties.pixmap ?? '';
  // The text content is the control's text and nothing else; a host image
  // path such as "/images/tick.png" is served as it is.
  if (element.dataset.text === text && element.dataset.pixmap === pixmap) return;
  element.textContent = text;
  if (pixmap) {
    const image = document.createElement('img');
    image.alt = '';
    image.src = pixmap;
    element.prepend(image);
  }
  element.dataset.text = text;
  element.dataset.pixmap = pixmap;
}

function renderPanels() {
  const area = $('panels-area');
  const key = JSON.stringify([state.components.length,
    state.panels.map((p) => [p.panel, p.component, p.layout, p.controls.map((c) => c.id)])]);
  if (area.dataset.key !== key) {
    area.replaceChildren(...state.panels.map(buildPanel));
    area.dataset.key = key;
  }
  for (const panel of state.panels) {
    for (const control of panel.controls) {
      const element = area.querySelector(
        `.control[data-panel="${CSS.escape(panel.panel)}"][data-component="${CSS.escape(panel.component)}"]` +
        `[data-control="${CSS.escape(control.id)}"]`);
      if (element) updateControl(element, control);
    }
  }
  $('components').textContent = state.components.map((c) =>
    'component ' + c.name + (c.exists ? '' : ' (none)')).join(' · ');
  // The parameters go to the component chosen here, once there are several.
  const chooser = $('param-component');
  const names = state.components.map((c) => c.name);
  if (chooser.dataset.key !== names.join(',')) {
    const chosen = chooser.value;
    chooser.replaceChildren(...names.map((name) => new Option(name, name)));
    if (names.includes(chosen)) chooser.value = chosen;
    chooser.dataset.key = names.join(',');
  }
  chooser.hidden = names.length < 2;
}

// ---- routers, names ---------------------------------------------------------

function nameOf(router, database, index) {
  const names = router.names[database];
  return (names && names[index]) || '';
}

function buildRouter(router) {
  const box = document.createElement('div');
  box.className = 'router';
  box.dataset.router = router.device;
  const title = document.createElement('h3');
  title.textContent = router.device + ' · ' + router.name + ' (' + router.sources + ' × ' + router.destinations + ')';
  const tools = document.createElement('div');
  const filter = document.createElement('input');
  filter.placeholder = 'filter';
  filter.className = 'router-filter';
  filter.size = 10;
  const source = document.createElement('select');
  source.className = 'route-source';
  for (let s = 0; s <= router.sources; ++s) {
    const option = document.createElement('option');
    option.value = s;
    option.textContent = s + ' ' + nameOf(router, '0', s);
    source.appendChild(option);
  }
  source.value = '1';
  const hint = document.createElement('span');
  hint.textContent = ' (click a row to route it)';
  tools.append(filter, ' source ', source, hint);
  const scroll = document.createElement('div');
  scroll.className = 'router-scroll';
  const table = document.createElement('table');
  table.innerHTML = '<thead><tr><th>dest</th><th>name</th><th>source</th><th>name</th></tr></thead>';
  const body = document.createElement('tbody');
  for (let d = 1; d <= router.destinations; ++d) {
    const row = document.createElement('tr');
    row.dataset.router = router.device;
    row.dataset.destination = d;
    for (let i = 0; i < 4; ++i) row.appendChild(document.createElement('td'));
    row.addEventListener('click', () => runStep(`route ${router.device} ${source.value} ${d}`));
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

function updateRouter(box, router) {
  box.dataset.online = String(router.online);
  const rows = box.querySelector('tbody').rows;
  router.crosspoints.forEach((source, i) => {
    const row = rows[i];
    const destination = i + 1;
    if (row.dataset.source === String(source) && row.dataset.names === '1') return;
    row.dataset.source = source;
    row.dataset.names = '1';
    row.cells[0].textContent = destination;
    row.cells[1].textContent = nameOf(router, '1', destination);
    row.cells[2].textContent = source;
    row.cells[3].textContent = nameOf(router, '0', source);
  });
}

function renderRouters() {
  const area = $('routers');
  const key = JSON.stringify(state.routers.map((r) => [r.device, r.sources, r.destinations, r.names]));
  if (area.dataset.key !== key) {
    area.replaceChildren(...state.routers.map(buildRouter));
    area.dataset.key = key;
  }
  for (const router of state.routers) updateRouter(area.querySelector(`.router[data-router="${router.device}"]`), router);

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

// ---- faults, clock, recording -----------------------------------------------

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

function renderClock(clock) {
  $('clock-now').textContent = formatTime(clock.now);
  $('clock-toggle').textContent = clock.running ? 'Pause' : 'Run';
  $('clock-toggle').dataset.running = String(clock.running);
  const speed = $('clock-speed');
  if (document.activeElement !== speed) speed.value = String(clock.speed);
}

function render() {
  renderPanels();
  renderRouters();
  renderFaults();
  renderClock(state.clock);
  $('record').dataset.recording = String(state.recording);
}

// New text is appended as a node of its own (re-setting the whole text
// would lay out the whole transcript again at every event); the oldest
// nodes go once the transcript outgrows its bound.
let transcriptLength = 0;
function appendTranscript(text, reset) {
  const pre = $('transcript');
  const atBottom = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4;
  if (reset) { pre.textContent = ''; transcriptLength = 0; }
  pre.appendChild(document.createTextNode(text));
  transcriptLength += text.length;
  while (transcriptLength > maxTranscript && pre.firstChild) {
    transcriptLength -= pre.firstChild.textContent.length;
    pre.firstChild.remove();
  }
  if (atBottom || reset) pre.scrollTop = pre.scrollHeight;
}

// ---- the live stream ---------------------------------------------------------

// A delta holds what changed: each part given replaces the page's own, but a
// router or names device lists only its changes (crosspoints by destination
// unless the whole array, names by index, null for a name gone).
function mergeDelta(delta) {
  for (const [key, value] of Object.entries(delta)) {
    if (key !== 'routers' && key !== 'namesDevices') { state[key] = value; continue; }
    for (const change of value) {
      const device = state[key].find((d) => d.device === change.device);
      if (!device) continue;
      for (const [field, v] of Object.entries(change)) {
        if (field === 'crosspoints' && !Array.isArray(v)) {
          for (const [destination, source] of Object.entries(v)) device.crosspoints[destination - 1] = source;
        } else if (field === 'names') {
          for (const [database, entries] of Object.entries(v)) {
            const names = (device.names[database] ??= {});
            for (const [index, name] of Object.entries(entries)) {
              if (name === null) delete names[index]; else names[index] = name;
            }
          }
        } else device[field] = v;
      }
    }
  }
}

function connect() {
  const socket = new WebSocket(`ws://${location.host}/api/live`);
  socket.onopen = () => { $('connection').dataset.state = 'open'; $('connection').textContent = 'live'; };
  socket.onclose = () => {
    $('connection').dataset.state = 'closed';
    $('connection').textContent = 'disconnected, retrying…';
    setTimeout(connect, 1000);
  };
  socket.onmessage = (message) => {
    const data = JSON.parse(message.data);
    if (data.type === 'transcript') appendTranscript(data.text, data.reset);
    else if (data.type === 'state') { state = data.state; version = data.version; render(); }
    else if (data.type === 'delta') {
      // A page that missed one asks for the whole state again.
      if (!state || data.version !== version + 1) { socket.send('state'); return; }
      mergeDelta(data.delta);
      version = data.version;
      render();
    }
    else if (data.type === 'clock' && state) { state.clock = { ...state.clock, ...data }; renderClock(state.clock); }
  };
}

function wire() {
  $('step-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const line = $('step-line').value;
    const answer = await runStep(line);
    if (!answer.error) $('step-line').value = '';
  });
  const names = $('param-names');
  for (const name of commonParameters) {
    const option = document.createElement('option');
    option.value = name;
    names.appendChild(option);
  }
  $('component-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const answer = await runStep($('component-name').value.trim() + ': create');
    if (!answer.error) $('component-name').value = '';
  });
  const showAnswer = (answer) => {
    $('param-answer').textContent = answer.answer === null || answer.answer === undefined ? '(no answer)' : answer.answer;
  };
  $('param-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    showAnswer(await runStep(addressed($('param-component').value,
      'set ' + word($('param-name').value) + ' ' + word($('param-value').value))));
  });
  $('param-all').addEventListener('click', async () =>
    showAnswer(await runStep(addressed($('param-component').value, 'get all'))));
  $('fault-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    if ($('fault-delay').value) await runStep('fault delay ' + word($('fault-delay').value));
    if ($('fault-drop').value) await runStep('fault drop ' + word($('fault-drop').value));
    if ($('fault-duplicate').value) await runStep('fault duplicate ' + word($('fault-duplicate').value));
  });
  $('fault-clear').addEventListener('click', () => runStep('fault clear'));
  $('clock-toggle').addEventListener('click', () =>
    post('/api/clock', $('clock-toggle').dataset.running === 'false' ? 'run' : 'pause'));
  for (const button of document.querySelectorAll('.clock-step'))
    button.addEventListener('click', () => post('/api/clock', 'step ' + button.dataset.time));
  $('clock-speed').addEventListener('change', () => post('/api/clock', 'speed ' + $('clock-speed').value));
  // The session records from the start: the button shows the recording
  // so far (and panel_host writes it to the --record file, if one is named).
  $('record').addEventListener('click', async () => {
    const { status, answer } = await post('/api/record', '');
    if (status !== 200) { $('step-result').className = 'error'; $('step-result').textContent = answer.error; return; }
    const pre = $('recording');
    pre.hidden = false;
    pre.textContent = (answer.file ? '# written to ' + answer.file + '\n' : '') + answer.scenario;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([answer.scenario], { type: 'text/plain' }));
    link.download = 'recorded.scn';
    link.textContent = 'save as recorded.scn';
    $('step-result').className = '';
    $('step-result').replaceChildren(link);
  });
  connect();
}

wire();
