// The browser view of panel_host: draws each panel from its layout and the
// facility beside it from GET /api/state and the live stream at /api/live,
// and sends everything a person does as one scenario line to POST /api/step,
// so that the page can do nothing a scenario could not.
//
// Everything is drawn again from the one `state` object (render()), so a
// message that replaces some of its top-level keys is followed by a redraw.
// Parts that did not change keep their elements (and the focus in them).
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

// The component the forms and the package picker speak to.
function chosenComponent() {
  return $('param-component').value || (state && state.components.length ? state.components[0].name : 'main');
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

// The take / undo panel's columns, captioned as the terminal picture does.
const columnCaptions = [['ID_L1', 'LEVEL'], ['Src_L1', 'SOURCE'], ['Dst_L1', 'DESTINATION'],
  ['Src_UL1', 'UNDO SOURCE'], ['Dst_UL1', 'UNDO DEST']];

function columnStrip(panel) {
  const byId = new Map(panel.controls.map((c) => [c.id, c]));
  if (!columnCaptions.every(([id]) => byId.has(id))) return null;
  const strip = document.createElement('div');
  strip.className = 'panel-columns';
  strip.setAttribute('aria-hidden', 'true');  // each control names itself
  for (const [id, caption] of columnCaptions) {
    const span = document.createElement('span');
    span.textContent = caption;
    span.style.left = 'calc(' + byId.get(id).x + 'px * var(--scale))';
    strip.appendChild(span);
  }
  return strip;
}

function buildControl(panel, control) {
  const pressable = control.kind === 'button' || control.kind === 'image-button';
  const element = document.createElement(pressable ? 'button' : 'div');
  if (pressable) element.type = 'button';
  else element.setAttribute('role', 'group');
  element.className = 'control kind-' + control.kind.replace(/[^a-z0-9-]/gi, '');
  element.dataset.panel = panel.panel;
  element.dataset.component = panel.component;
  element.dataset.control = control.id;
  element.dataset.kind = control.kind;
  for (const [property, edge] of [['left', 'x'], ['top', 'y'], ['width', 'w'], ['height', 'h']])
    element.style[property] = 'calc(' + control[edge] + 'px * var(--scale))';
  if (pressable) {
    // A disabled control stays reachable by Tab (aria-disabled), but a
    // press of it sends nothing.
    element.addEventListener('click', () => {
      if (element.dataset.enabled !== 'true') return;
      runStep(addressed(panel.component,
        'press ' + word(control.id) + (panel.panel === '1' ? '' : ' on ' + word(panel.panel))));
    });
  }
  return element;
}

function buildPanel(panel) {
  const box = document.createElement('div');
  box.className = 'panel-box';
  box.dataset.width = panel.width;
  const title = document.createElement('h2');
  title.textContent = (state.components.length > 1 ? panel.component + ' · ' : '') +
    'panel ' + panel.panel + ' · ' + panel.layout;
  const area = document.createElement('div');
  area.className = 'panel';
  area.setAttribute('role', 'group');
  area.setAttribute('aria-label', title.textContent);
  area.dataset.panel = panel.panel;
  area.dataset.component = panel.component;
  area.style.width = 'calc(' + panel.width + 'px * var(--scale))';
  area.style.height = 'calc(' + panel.height + 'px * var(--scale))';
  for (const control of panel.controls) area.appendChild(buildControl(panel, control));
  const strip = columnStrip(panel);
  box.append(...(strip ? [title, strip, area] : [title, area]));
  return box;
}

// Each panel as large as its column allows, at most 1.5 times its layout.
function fitPanels() {
  const room = $('panels-area').clientWidth - 2;
  for (const box of document.querySelectorAll('.panel-box')) {
    const scale = Math.max(0.4, Math.min(1.5, room / Number(box.dataset.width || 1)));
    box.style.setProperty('--scale', scale.toFixed(3));
  }
}

// The accessible name: the control's id, and what it shows when that is
// not the id (its text, or its image's name).
function accessibleName(id, text, pixmap) {
  const shown = text || (pixmap ? pixmap.replace(/^.*\//, '').replace(/\.[^.]*$/, '') : '');
  return shown && shown !== id ? id + ': ' + shown : id;
}

function updateControl(element, control) {
  const properties = control.properties;
  element.dataset.enabled = String(control.enabled);
  if (element.tagName === 'BUTTON') element.setAttribute('aria-disabled', String(!control.enabled));
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
  element.setAttribute('aria-label', accessibleName(control.id, text, pixmap));
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
    fitPanels();
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
  $('param-component-label').hidden = names.length < 2;
}

// ---- the package picker -------------------------------------------------------

// Buttons for the packages of each names device: a click sets srcpkg or
// destpkg of the chosen component, as the line "set srcpkg N" would.
function buildPackageList(device, kind, entries) {
  const list = document.createElement('div');
  list.className = 'package-list';
  list.setAttribute('role', 'group');
  const title = document.createElement('h3');
  title.id = 'packages-' + device.device + '-' + kind;
  title.textContent = (kind === 'source' ? 'Source' : 'Destination') + ' packages';
  list.setAttribute('aria-labelledby', title.id);
  list.appendChild(title);
  const parameter = kind === 'source' ? 'srcpkg' : 'destpkg';
  for (const entry of entries) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'package';
    button.dataset['package' + (kind === 'source' ? 'Source' : 'Destination')] = entry.index;
    button.dataset.device = device.device;
    button.setAttribute('aria-pressed', 'false');
    // Its name is what it shows, with the kind for a listener:
    // "source package 1 1,1,1".
    const spoken = document.createElement('span');
    spoken.className = 'unseen';
    spoken.textContent = kind + ' package ';
    const name = document.createElement('span');
    name.className = 'package-name';
    name.textContent = ' ' + entry.name;
    button.append(spoken, String(entry.index), name);
    button.addEventListener('click', () =>
      runStep(addressed(chosenComponent(), 'set ' + parameter + ' ' + entry.index)));
    list.appendChild(button);
  }
  return list;
}

function renderPackages() {
  const devices = state.packages || [];
  const section = $('packages');
  section.hidden = devices.length === 0;
  const lists = $('package-lists');
  const key = JSON.stringify(devices);
  if (lists.dataset.key !== key) {
    lists.replaceChildren();
    for (const device of devices) {
      if (devices.length > 1) {
        const name = document.createElement('h3');
        name.textContent = device.device + ' · ' + device.name;
        lists.appendChild(name);
      }
      lists.append(buildPackageList(device, 'source', device.sources),
        buildPackageList(device, 'destination', device.destinations));
    }
    lists.dataset.key = key;
  }
  // The chosen component's selection, as the host last set it.
  const component = chosenComponent();
  const set = (state.parameters && state.parameters[component]) || {};
  const selected = { source: parseInt(set.srcpkg, 10), destination: parseInt(set.destpkg, 10) };
  for (const button of lists.querySelectorAll('.package')) {
    const kind = button.dataset.packageSource !== undefined ? 'source' : 'destination';
    const index = Number(kind === 'source' ? button.dataset.packageSource : button.dataset.packageDestination);
    button.setAttribute('aria-pressed', String(index === selected[kind]));
  }
  $('packages-title').textContent = 'Packages' + (state.components.length > 1 ? ' of component ' + component : '');
}

// ---- clock, recording ---------------------------------------------------------

function renderClock(clock) {
  $('clock-now').textContent = formatTime(clock.now);
  $('clock-toggle').textContent = clock.running ? 'Pause' : 'Run';
  $('clock-toggle').dataset.running = String(clock.running);
  const speed = $('clock-speed');
  if (document.activeElement !== speed) speed.value = String(clock.speed);
}

function render() {
  renderPanels();
  renderPackages();
  renderRouters();
  renderFaults();
  renderClock(state.clock);
  $('record').dataset.recording = String(state.recording);
  // Scripts and screenshots wait for this: the first state is drawn.
  document.body.dataset.ready = 'true';
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
  $('param-component').addEventListener('change', () => { if (state) renderPackages(); });
  new ResizeObserver(fitPanels).observe($('panels-area'));
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
