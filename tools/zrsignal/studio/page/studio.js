// The studio page: formula curves as you type, the catalogue, and the show's fixtures live.
// It talks to zrsignal serve only: /api/evaluate, /api/audio, /api/catalogue, /api/devices,
// /api/show, /api/show/frames (Server-Sent Events) and /api/show/edit.
'use strict';

const COLOURS = ['#f0b429', '#4dabf7', '#5dd39e', '#ff6b6b', '#c084fc', '#f783ac', '#63e6be', '#ffd43b'];
const MAX_FORMULAS = 8;
const TYPING_PAUSE_MS = 150;

const $ = (id) => document.getElementById(id);

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function svgElement(tag, attributes) {
  const node = document.createElementNS('http://www.w3.org/2000/svg', tag);
  for (const [name, value] of Object.entries(attributes || {})) node.setAttribute(name, value);
  return node;
}

// Fields go as multipart/form-data: a CSV text may be larger than URL-encoded forms may be.
async function post(path, fields) {
  const body = new FormData();
  for (const [name, value] of fields) body.append(name, value);
  const response = await fetch(path, { method: 'POST', body });
  return response.json();
}

// The server writes NaN and the infinities as strings.
const asNumber = (value) => (typeof value === 'number' ? value : Number(value === 'nan' ? NaN : value));

// ---- an error of the library, shown where it happened ------------------------------------

// The catalogued lines, the text with a caret under the failing character (counted in
// characters, as the server counts them), the hints and the names to click instead.
function renderFailure(failure, onSuggestion) {
  const box = element('div', 'error');
  box.append(element('pre', 'lines', failure.lines.join('\n')));
  const where = element('pre', 'where');
  const characters = Array.from(failure.subject);
  const subject = element('span', 'subject');
  if (failure.column !== null && failure.column < characters.length) {
    subject.append(characters.slice(0, failure.column).join(''));
    subject.append(element('mark', '', characters[failure.column]));
    subject.append(characters.slice(failure.column + 1).join(''));
  } else {
    subject.textContent = failure.subject;
  }
  where.append(subject);
  if (failure.column !== null) {
    const blanks = characters.slice(0, failure.column).map((c) => (c === '\t' ? '\t' : ' ')).join('');
    where.append('\n', element('span', 'caret', blanks + '^'));
  }
  box.append(where);
  if (failure.hints.length) {
    const hints = element('ul', 'hints');
    for (const hint of failure.hints) hints.append(element('li', '', hint));
    box.append(hints);
  }
  if (failure.suggestions.length && onSuggestion) {
    const choices = element('div', 'suggestions');
    for (const name of failure.suggestions) {
      const button = element('button', 'suggestion', name);
      button.type = 'button';
      button.addEventListener('click', () => onSuggestion(failure, name));
      choices.append(button);
    }
    box.append(choices);
  }
  return box;
}

// The formula with the unknown name at the caret replaced by `name`.
function replaceName(formula, failure, name) {
  const characters = Array.from(formula);
  const at = failure.column;
  const length = Array.from(failure.name).length;
  if (at === null || characters.slice(at, at + length).join('') !== failure.name) return formula;
  return characters.slice(0, at).join('') + name + characters.slice(at + length).join('');
}

// ---- formula pane ------------------------------------------------------------------------

const formulaPane = {
  rows: [],
  lastFocused: null,
  pending: null,
  request: 0,
  csv: null,   // { name, text }
  audio: null, // the server's id of the chosen audio file

  init() {
    $('add-formula').addEventListener('click', () => { this.add(''); this.rows.at(-1).input.focus(); });
    for (const id of ['frames', 'fps', 'seed', 'vars']) $(id).addEventListener('input', () => this.schedule());
    $('csv-file').addEventListener('change', (e) => this.chooseCsv(e.target.files[0]));
    $('audio-file').addEventListener('change', (e) => this.chooseAudio(e.target.files[0]));
    this.add('50 + 50 * __sin(0.15)');
  },

  add(text) {
    if (this.rows.length >= MAX_FORMULAS) return;
    const row = element('div', 'formula-row');
    const swatch = element('span', 'swatch');
    const input = element('input', 'formula');
    input.value = text;
    input.spellcheck = false;
    input.setAttribute('aria-label', 'Formula');
    const remove = element('button', 'remove', '×');
    remove.type = 'button';
    remove.title = 'Remove this formula';
    const error = element('div', 'error-slot');
    row.append(swatch, input, remove, error);
    $('formula-list').append(row);
    const entry = { row, input, error, swatch };
    this.rows.push(entry);
    input.addEventListener('input', () => this.schedule());
    input.addEventListener('focus', () => { this.lastFocused = entry; });
    remove.addEventListener('click', () => {
      if (this.rows.length === 1) { input.value = ''; } else { row.remove(); this.rows.splice(this.rows.indexOf(entry), 1); }
      if (this.lastFocused === entry) this.lastFocused = null;
      this.recolour();
      this.schedule();
    });
    this.lastFocused = entry;
    this.recolour();
    this.schedule();
  },

  recolour() {
    this.rows.forEach((entry, i) => { entry.swatch.style.background = COLOURS[i % COLOURS.length]; });
  },

  // Inserts `text` at the caret of the formula edited last.
  insert(text) {
    const entry = this.lastFocused || this.rows[0];
    const input = entry.input;
    const start = input.selectionStart ?? input.value.length;
    const end = input.selectionEnd ?? start;
    input.value = input.value.slice(0, start) + text + input.value.slice(end);
    input.focus();
    input.setSelectionRange(start + text.length, start + text.length);
    this.schedule();
  },

  async chooseCsv(file) {
    this.csv = file ? { name: file.name, text: await file.text() } : null;
    this.schedule();
  },

  async chooseAudio(file) {
    this.audio = null;
    if (file) {
      const response = await fetch('/api/audio?name=' + encodeURIComponent(file.name), { method: 'POST', body: file });
      const answer = await response.json();
      if (answer.inputError) { this.showInputError(answer.inputError); return; }
      this.audio = answer.id;
    }
    this.schedule();
  },

  schedule() {
    clearTimeout(this.pending);
    this.pending = setTimeout(() => this.evaluate(), TYPING_PAUSE_MS);
  },

  showInputError(message) {
    $('input-error').hidden = !message;
    $('input-error').textContent = message || '';
  },

  async evaluate() {
    const active = this.rows.filter((entry) => entry.input.value.trim() !== '');
    for (const entry of this.rows.filter((e) => !active.includes(e))) this.showResult(entry, {});
    const request = ++this.request;
    if (!active.length) { this.draw([], []); return; }
    const fields = active.map((entry) => ['formula', entry.input.value]);
    fields.push(['frames', $('frames').value], ['fps', $('fps').value], ['seed', $('seed').value], ['vars', $('vars').value]);
    if (this.csv) fields.push(['csv', this.csv.text], ['csvName', this.csv.name]);
    if (this.audio !== null) fields.push(['audio', String(this.audio)]);
    let answer;
    try {
      answer = await post('/api/evaluate', fields);
    } catch (failure) {
      if (request === this.request) this.showInputError('The server does not answer: ' + failure.message);
      return;
    }
    if (request !== this.request) return; // a newer request is on its way
    this.showInputError(answer.inputError || (answer.definitionError && answer.definitionError.lines.join('\n')));
    if (!answer.results) return;
    answer.results.forEach((result, i) => this.showResult(active[i], result));
    this.draw(active, answer.results, answer.fps);
  },

  showResult(entry, result) {
    entry.error.replaceChildren();
    entry.input.classList.toggle('refused', Boolean(result.error));
    if (result.error) {
      entry.error.append(renderFailure(result.error, (failure, name) => {
        entry.input.value = replaceName(entry.input.value, failure, name);
        this.schedule();
      }));
    }
  },

  draw(active, results, fps) {
    const chart = $('chart');
    chart.replaceChildren();
    const series = [];
    results.forEach((result, i) => {
      if (!result.values) return;
      const colour = COLOURS[this.rows.indexOf(active[i]) % COLOURS.length];
      series.push({ values: result.values.map(asNumber), raw: result.values, colour, formula: result.formula });
    });
    if (!series.length) { $('chart-caption').textContent = ''; return; }
    drawCurves(chart, series, 800, 300);
    const frames = series[0].values.length;
    const finite = series.flatMap((s) => s.values.filter(Number.isFinite));
    const low = finite.length ? Math.min(...finite) : 0;
    const high = finite.length ? Math.max(...finite) : 0;
    const seconds = (frames / fps).toFixed(2);
    $('chart-caption').textContent = `${frames} frames (${seconds} s at ${fps} fps); values from ${low} to ${high}`;
  },
};

// Draws each series as polylines (broken where a value is not finite) in a width × height box,
// values scaled between their common lowest and highest.
function drawCurves(svg, series, width, height) {
  const finite = series.flatMap((s) => s.values.filter(Number.isFinite));
  let low = finite.length ? Math.min(...finite) : 0;
  let high = finite.length ? Math.max(...finite) : 1;
  if (low === high) { low -= 1; high += 1; }
  const margin = height * 0.05;
  svg.dataset.low = low;
  svg.dataset.high = high;
  for (const y of [low, (low + high) / 2, high]) {
    const level = margin + (high - y) / (high - low) * (height - 2 * margin);
    svg.append(svgElement('line', { class: 'grid', x1: 0, x2: width, y1: level, y2: level }));
  }
  for (const one of series) {
    const group = svgElement('g', { class: 'series' });
    if (one.raw) group.dataset.values = JSON.stringify(one.raw);
    if (one.formula) group.dataset.formula = one.formula;
    const step = one.values.length > 1 ? width / (one.values.length - 1) : 0;
    let points = [];
    const flush = () => {
      if (points.length) group.append(svgElement('polyline', { points: points.join(' '), stroke: one.colour || '' }));
      points = [];
    };
    one.values.forEach((value, i) => {
      if (!Number.isFinite(value)) { flush(); return; }
      const y = margin + (high - value) / (high - low) * (height - 2 * margin);
      points.push(`${(i * step).toFixed(3)},${y.toFixed(3)}`);
    });
    flush();
    svg.append(group);
  }
}

// ---- catalogue pane ----------------------------------------------------------------------

const cataloguePane = {
  pending: null,
  request: 0,

  init() {
    $('catalogue-search').addEventListener('input', () => {
      clearTimeout(this.pending);
      this.pending = setTimeout(() => this.search(), TYPING_PAUSE_MS);
    });
    this.search();
  },

  async search() {
    const request = ++this.request;
    const response = await fetch('/api/catalogue?q=' + encodeURIComponent($('catalogue-search').value));
    const answer = await response.json();
    if (request !== this.request) return;
    const list = $('catalogue-list');
    list.replaceChildren();
    for (const row of answer.rows) list.append(this.entry(row));
    list.dataset.count = answer.rows.length;
  },

  entry(row) {
    const entry = element('article', 'entry');
    entry.dataset.symbol = row.symbol;
    entry.dataset.example = row.example;
    entry.title = 'Insert ' + row.example;
    const head = element('div');
    head.append(element('code', 'proto', row.help), ' ', element('span', 'origin', row.from));
    const count = row.args < 0 ? 'any number of arguments' : row.args === 1 ? '1 argument' : `${row.args} arguments`;
    const state = row.shareable ? '' : ' · keeps its own state';
    entry.append(head, element('div', 'description', row.description), element('div', 'origin', count + state));
    entry.append(element('code', 'example', row.example));
    const curve = svgElement('svg', { viewBox: '0 0 120 44', preserveAspectRatio: 'none' });
    drawCurves(curve, [{ values: row.values.map(asNumber) }], 120, 44);
    entry.append(curve);
    entry.addEventListener('click', () => formulaPane.insert(row.example));
    return entry;
  },
};

// ---- show pane ---------------------------------------------------------------------------

const COLOUR_CHANNELS = { red: 'r', r: 'r', green: 'g', g: 'g', blue: 'b', b: 'b' };
const BRIGHTNESS_CHANNELS = new Set(['dimmer', 'dim', 'intensity', 'master']);

const showPane = {
  layout: null,
  tiles: [],
  hold: false,
  latest: null, // the newest frame, drawn when the view is not held

  async init() {
    const response = await fetch('/api/show');
    if (!response.ok) return;
    this.layout = await response.json();
    $('show-pane').hidden = false;
    $('show-name').textContent = this.layout.path.split('/').pop();
    $('show-name').title = this.layout.path;
    $('show-outputs').textContent = this.layout.sending
      ? 'Sending to the outputs: ' +
        this.layout.outputs.map((o) => `universe ${o.universe} by ${o.protocol} ${o.address}`).join(', ')
      : 'A preview: start zrsignal serve with --outputs to send these frames to the show\'s outputs too.';
    $('show-hold').addEventListener('click', () => {
      this.hold = !this.hold;
      $('show-hold').setAttribute('aria-pressed', String(this.hold));
      // Frames went on while held, the last one too if the show ended meanwhile.
      if (!this.hold && this.latest) this.draw(this.latest);
    });
    this.buildTempo();
    this.listAudioDevices();
    this.buildVariables();
    this.buildTiles();
    this.follow();
  },

  // The sound cards a show may listen to, as zrsignal serve --audio-in DEVICE names them.
  async listAudioDevices() {
    const list = $('audio-device-list');
    const response = await fetch('/api/devices');
    const answer = await response.json();
    if (!response.ok) {
      list.append(element('li', 'note', answer.inputError));
      return;
    }
    if (answer.devices.length === 0) list.append(element('li', 'note', 'No audio input can be opened on this machine.'));
    for (const device of answer.devices) {
      const text = `${device.number}  ${device.name} (${device.system}, ${device.channels} channels, ${device.rate} Hz)`;
      list.append(element('li', '', device.default ? text + ', the default' : text));
    }
  },

  // Where the tempo comes from, with a tap button when taps make it.
  buildTempo() {
    const tempo = this.layout.tempo;
    if (!tempo) return;
    $('show-tempo').hidden = false;
    $('show-tempo-source').textContent = { audio: 'the audio', link: 'the Link session', midiclock: 'MIDI clock', tap: 'taps' }[tempo.source] || tempo.source;
    if (!tempo.tappable) return;
    $('show-tap').hidden = false;
    // The tap is stamped by the server when it arrives: sent at once, not queued behind a draw.
    $('show-tap').addEventListener('pointerdown', () => post('/api/show/edit', [['address', '/zr/tap']]));
  },

  buildVariables() {
    for (const variable of this.layout.variables.filter((v) => v.settable)) {
      const label = element('label', '', variable.name + ' ');
      const slider = element('input');
      Object.assign(slider, { type: 'range', min: 0, max: 100, step: 'any', value: variable.value });
      const shown = element('span', 'value', String(variable.value));
      slider.addEventListener('input', () => {
        shown.textContent = Number(slider.value).toFixed(1);
        post('/api/show/edit', [['address', '/zr/var/' + variable.name], ['value', slider.value]]);
      });
      label.append(slider, ' ', shown);
      $('show-variables').append(label);
    }
  },

  buildTiles() {
    for (const fixture of this.layout.fixtures) {
      const group = element('div', 'group');
      group.append(element('h3', '', fixture.name));
      const row = element('div', 'row');
      const roles = fixture.channels.map((c) => {
        const name = c.name.toLowerCase();
        return COLOUR_CHANNELS[name] || (BRIGHTNESS_CHANNELS.has(name) ? 'dimmer' : 'number');
      });
      for (const instance of fixture.instances) {
        const tile = element('div', 'tile');
        tile.dataset.fixture = fixture.name;
        tile.dataset.index = instance.index;
        const lamp = element('div', 'lamp');
        const numbers = element('div', 'numbers');
        const label = fixture.count > 1 ? `${fixture.name} ${instance.index + 1}` : fixture.name;
        tile.append(lamp, element('div', 'label', label), numbers);
        tile.addEventListener('click', () => this.edit(fixture, instance, tile));
        row.append(tile);
        this.tiles.push({ fixture, instance, roles, lamp, numbers });
      }
      group.append(row);
      $('tiles').append(group);
    }
  },

  follow() {
    const events = new EventSource('/api/show/frames');
    events.addEventListener('frame', (event) => {
      this.latest = JSON.parse(event.data);
      if (!this.hold) this.draw(this.latest);
    });
    events.addEventListener('end', () => {
      $('show-state').textContent = '(the show has run its frames)';
      events.close();
    });
  },

  // One frame: every tile at once, so that a reader never sees two frames mixed.
  draw(frame) {
    const universes = frame.universes.map((hex) => {
      const slots = new Uint8Array(hex.length / 2);
      for (let i = 0; i < slots.length; ++i) slots[i] = parseInt(hex.substr(2 * i, 2), 16);
      return slots;
    });
    for (const tile of this.tiles) {
      const slots = universes[tile.instance.universe];
      const colour = { r: null, g: null, b: null };
      let brightness = 1;
      const numbers = [];
      tile.fixture.channels.forEach((channel, c) => {
        const first = tile.instance.slots[c];
        if (first === undefined) return;
        const coarse = slots[first];
        const value = channel.width === 16 ? coarse * 256 + slots[first + 1] : coarse;
        const role = tile.roles[c];
        if (role === 'dimmer') brightness = channel.width === 16 ? value / 65535 : value / 255;
        else if (role === 'number') numbers.push(`${channel.name} ${value}`);
        else colour[role] = coarse;
      });
      // A fixture without colour channels shows white light.
      const hasColour = colour.r !== null || colour.g !== null || colour.b !== null;
      const [r, g, b] = hasColour ? [colour.r || 0, colour.g || 0, colour.b || 0] : [255, 255, 255];
      tile.lamp.style.backgroundColor = `rgb(${r}, ${g}, ${b})`;
      tile.lamp.style.opacity = String(brightness);
      tile.numbers.textContent = numbers.join('\n');
    }
    $('show-frame').textContent = String(frame.frame);
    $('show-pane').dataset.frame = frame.frame;
    if (frame.tempo) {
      $('show-bpm').textContent = frame.tempo.bpm > 0 ? Number(frame.tempo.bpm).toFixed(1) : '–';
      // Lit for the first fifth of each beat, so that a beat is seen even when frames are skipped.
      $('show-beat').classList.toggle('on', frame.tempo.bpm > 0 && frame.tempo.beatphase < 0.2);
    }
  },

  // The channels of one fixture, each formula editable; Enter applies it to this fixture only.
  edit(fixture, instance, tile) {
    document.querySelectorAll('.tile.selected').forEach((t) => t.classList.remove('selected'));
    tile.classList.add('selected');
    const editor = $('channel-editor');
    editor.hidden = false;
    const title = `${fixture.name} ${instance.index + 1}: Enter applies a formula to this fixture, as OSC does`;
    editor.replaceChildren(element('h3', '', title));
    for (const channel of fixture.channels) {
      const line = element('div', 'channel');
      const input = element('input', 'formula');
      input.value = channel.formulas?.[instance.index] ?? channel.formula;
      input.spellcheck = false;
      input.dataset.channel = channel.name;
      const apply = element('button', '', 'Apply');
      apply.type = 'button';
      const outcome = element('div', 'outcome');
      const send = async () => {
        const address = `/zr/formula/${fixture.name}/${instance.index}/${channel.name}`;
        const answer = await post('/api/show/edit', [['address', address], ['formula', input.value]]);
        outcome.replaceChildren();
        if (answer.ok) {
          channel.formulas = channel.formulas || [];
          channel.formulas[instance.index] = input.value;
          outcome.append(element('div', 'applied', 'running'));
        } else if (answer.refused) {
          outcome.append(renderFailure(answer.refused, (failure, name) => {
            input.value = replaceName(input.value, failure, name);
          }));
        } else {
          outcome.append(element('div', 'error', answer.error || answer.inputError));
        }
      };
      apply.addEventListener('click', send);
      input.addEventListener('keydown', (event) => { if (event.key === 'Enter') send(); });
      line.append(element('label', '', channel.name), input, apply, outcome);
      editor.append(line);
    }
  },
};

formulaPane.init();
cataloguePane.init();
showPane.init();
