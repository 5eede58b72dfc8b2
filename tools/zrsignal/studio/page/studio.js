// The studio page: formula curves as you type, the catalogue, and the show's fixtures live.
// It talks to zrsignal serve only: /api/evaluate, /api/audio, /api/catalogue, /api/devices,
// /api/show, /api/show/frames (a binary stream, read by rig.js's FrameStream), /api/show/edit
// and /api/show/save.
// The show is drawn by rig.js's RigView, or as a list of tiles.
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

  // A show's channel formula as one fixture runs it: a formula row of its own, with that
  // fixture's index and its group's count under Variables (the pane knows the show's other names).
  tryChannel(formula, index, count) {
    const lines = $('vars').value.split('\n').filter((line) => !/^\s*(index|count)\s*=/.test(line) && line.trim() !== '');
    $('vars').value = [...lines, `index=${index}`, `count=${count}`].join('\n');
    const empty = this.rows.find((entry) => entry.input.value.trim() === '');
    if (empty) { empty.input.value = formula; this.lastFocused = empty; this.schedule(); } else this.add(formula);
    $('formula-pane').scrollIntoView({ behavior: 'smooth' });
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
    chartAxes.clear();
    if (!series.length) { $('chart-caption').textContent = ''; return; }
    const range = drawCurves(chart, series, 800, 300, true);
    chartAxes.show(series, range, fps);
    const frames = series[0].values.length;
    const finite = series.flatMap((s) => s.values.filter(Number.isFinite));
    const low = finite.length ? Math.min(...finite) : 0;
    const high = finite.length ? Math.max(...finite) : 0;
    const seconds = readable(frames / fps);
    const spread = high - low;
    $('chart-caption').textContent =
      `${frames} frames (${seconds} s at ${fps} fps); values from ${readable(low, spread)} to ${readable(high, spread)}`;
  },
};

// ---- the curves' axes and cursor ---------------------------------------------------------------

// A number as a reader wants it (the exact values stay in the series' data and in eval's
// output): to a thousandth of `spread`, the size of the range it is read against, when given
// (45.23 on a curve from 0 to 100 reads 45.2); else four significant digits, or powers of ten
// for the very large and very small.
function readable(value, spread) {
  if (!Number.isFinite(value)) return String(value).toLowerCase();
  if (spread > 0) {
    const decimals = Math.min(10, Math.max(0, 3 - Math.round(Math.log10(spread))));
    const text = String(Number(value.toFixed(decimals)));
    return text === '-0' ? '0' : text;
  }
  const size = Math.abs(value);
  if (size !== 0 && (size >= 1e6 || size < 1e-3)) return value.toExponential(2);
  return String(Number(value.toPrecision(4)));
}

// The round step (1, 2 or 5 times a power of ten) that cuts low to high in about `wanted`.
function roundStep(low, high, wanted) {
  const rough = (high - low) / wanted;
  const power = 10 ** Math.floor(Math.log10(rough));
  return [1, 2, 5, 10].map((m) => m * power).find((s) => s >= rough) || 10 * power;
}

// About `wanted` round steps (1, 2 or 5 times a power of ten) from `low` to `high`, ends included
// when they fall on a step.
function roundTicks(low, high, wanted) {
  if (!(high > low)) return [low];
  const step = roundStep(low, high, wanted);
  const ticks = [];
  for (let i = Math.ceil(low / step - 1e-9); i * step <= high + step * 1e-9; ++i) ticks.push(Number((i * step).toPrecision(12)));
  return ticks;
}

// Value ticks left of the chart, seconds under it, and the frame and values under the cursor.
// The labels are HTML over the stretched SVG, so they keep their shape at any width.
const chartAxes = {
  series: null,
  fps: 40,

  init() {
    const chart = $('chart');
    chart.addEventListener('pointermove', (event) => this.point(event));
    chart.addEventListener('pointerleave', () => this.hideCursor());
  },

  clear() {
    this.series = null;
    $('chart-values').replaceChildren();
    $('chart-times').replaceChildren();
    this.hideCursor();
  },

  // `range`: the values at the chart's top and bottom margins, as drawCurves scaled them.
  show(series, range, fps) {
    this.series = series;
    this.fps = fps;
    this.spread = range.high - range.low;
    for (const value of roundTicks(range.low, range.high, 5)) {
      const label = element('span', 'tick', readable(value, this.spread));
      label.dataset.value = value;
      label.style.top = `${5 + (range.high - value) / (range.high - range.low) * 90}%`;
      $('chart-values').append(label);
    }
    const frames = series[0].values.length;
    const last = Math.max(frames - 1, 1);
    for (const second of roundTicks(0, (frames - 1) / fps, 6)) {
      const label = element('span', 'tick', `${readable(second)} s`);
      label.dataset.seconds = second;
      label.style.left = `${second * fps / last * 100}%`;
      $('chart-times').append(label);
    }
  },

  point(event) {
    if (!this.series) return;
    const chart = $('chart');
    const box = chart.getBoundingClientRect();
    const frames = this.series[0].values.length;
    const frame = Math.min(frames - 1, Math.max(0, Math.round((event.clientX - box.left) / box.width * (frames - 1))));
    const x = frames > 1 ? frame * 800 / (frames - 1) : 0;
    let line = chart.querySelector('line.cursor');
    if (!line) { line = svgElement('line', { class: 'cursor', y1: 0, y2: 300 }); chart.append(line); }
    line.setAttribute('x1', x);
    line.setAttribute('x2', x);
    const readout = $('chart-cursor');
    readout.hidden = false;
    readout.replaceChildren(`frame ${frame} · ${readable(frame / this.fps)} s`);
    for (const one of this.series) {
      const value = element('span', 'value', readable(one.values[frame], this.spread));
      value.style.color = one.colour;
      readout.append(' · ', value);
    }
    readout.dataset.frame = frame;
  },

  hideCursor() {
    $('chart').querySelector('line.cursor')?.remove();
    $('chart-cursor').hidden = true;
  },
};

// Draws each series as polylines (broken where a value is not finite) in a width × height box,
// values scaled between their common lowest and highest (widened to round values with
// `roundGrid`, whose grid lines are at round values; else at the lowest, middle and highest).
// Answers the range drawn: { low, high }.
function drawCurves(svg, series, width, height, roundGrid) {
  const finite = series.flatMap((s) => s.values.filter(Number.isFinite));
  let low = finite.length ? Math.min(...finite) : 0;
  let high = finite.length ? Math.max(...finite) : 1;
  if (low === high) { low -= 1; high += 1; }
  if (roundGrid) {
    const step = roundStep(low, high, 5);
    low = Number((Math.floor(low / step + 1e-9) * step).toPrecision(12));
    high = Number((Math.ceil(high / step - 1e-9) * step).toPrecision(12));
  }
  const margin = height * 0.05;
  svg.dataset.low = low;
  svg.dataset.high = high;
  for (const y of roundGrid ? roundTicks(low, high, 5) : [low, (low + high) / 2, high]) {
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
  return { low, high };
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
    if (row.keywords) entry.append(element('div', 'keywords', 'Makes: ' + row.keywords));
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
  rig: null,    // the rig view (rig.js)
  listing: false, // the list of tiles is shown instead of the rig

  async init() {
    const response = await fetch('/api/show');
    if (!response.ok) return;
    this.layout = await response.json();
    this.unsaved = this.layout.unsaved || 0; // group edits made before this page was opened
    this.describeInstances();
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
    this.rig = new RigView($('rig'), $('rig-tip'), this.layout);
    $('rig-fit').addEventListener('click', () => this.rig.fit());
    $('view-rig').addEventListener('click', () => this.chooseView(false));
    $('view-list').addEventListener('click', () => this.chooseView(true));
    this.follow();
  },

  // The layout gives each group's instances as arrays ("at": universe position and first slot by
  // index); the tiles and the editor take them as objects.
  describeInstances() {
    for (const fixture of this.layout.fixtures) {
      fixture.instances = [];
      for (let index = 0; index < fixture.count; ++index) {
        const first = fixture.at[2 * index + 1];
        fixture.instances.push({ index, universe: fixture.at[2 * index],
                                 slots: fixture.channels.map((channel) => first + channel.offset) });
      }
    }
  },

  // The rig view or the list of tiles; the tiles are made when first shown (a pixel show has
  // tens of thousands).
  chooseView(listing) {
    this.listing = listing;
    $('view-rig').setAttribute('aria-pressed', String(!listing));
    $('view-list').setAttribute('aria-pressed', String(listing));
    $('rig-view').hidden = listing;
    $('tiles').hidden = !listing;
    if (listing && !this.tiles.length) this.buildTiles();
    if (this.latest) this.draw(this.latest);
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
      // The range the show file gives, or 0 to 100 widened to take in the value (see shows.md).
      Object.assign(slider, { type: 'range', min: variable.min, max: variable.max, step: variable.step ?? 'any', value: variable.value });
      slider.dataset.variable = variable.name;
      const shown = element('span', 'value', String(variable.value));
      // Shown with as many decimals as the step has, one when any value goes.
      const decimals = variable.step ? Math.max(0, -Math.floor(Math.log10(variable.step) + 1e-9)) : 1;
      slider.addEventListener('input', () => {
        shown.textContent = Number(slider.value).toFixed(decimals);
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
    const stream = new FrameStream('/api/show/frames', (frame) => {
      this.latest = frame;
      if (!this.hold) this.draw(frame);
    }, () => { $('show-state').textContent = '(the show has run its frames)'; });
    stream.run().catch((failure) => { $('show-state').textContent = `(the frames stopped: ${failure.message})`; });
  },

  // One frame: the rig at its next animation frame; every tile at once, so that a reader never
  // sees two frames mixed.
  draw(frame) {
    const universes = frame.universes;
    this.rig.show(frame);
    for (const tile of this.listing ? this.tiles : []) {
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

  // The side panel that edits one fixture's channels: for that fixture alone (as OSC does; runs
  // until the show restarts) or for its whole group (what "Save" writes into the show file).
  edit(fixture, instance, tile) {
    document.querySelectorAll('.tile.selected').forEach((t) => t.classList.remove('selected'));
    if (tile) tile.classList.add('selected');
    const editor = $('channel-editor');
    editor.hidden = false;
    const head = element('div', 'editor-head');
    const close = element('button', 'close', '×');
    close.type = 'button';
    close.title = 'Close the editor';
    close.addEventListener('click', () => { editor.hidden = true; });
    editor.onkeydown = (event) => { if (event.key === 'Escape') editor.hidden = true; };
    const name = fixture.count > 1 ? `${fixture.name} ${instance.index + 1}` : fixture.name;
    head.append(element('h3', '', name), close);
    editor.replaceChildren(head);
    // A group of one is edited as a group: its edits can be saved.
    let scope = fixture.count > 1 ? 'one' : 'group';
    if (fixture.count > 1) {
      const choice = element('fieldset', 'edit-scope');
      choice.append(element('legend', '', 'Apply a formula to'));
      for (const [value, text] of [['one', `this fixture only (${name})`], ['group', `every fixture of ${fixture.name} (${fixture.count})`]]) {
        const label = element('label');
        const radio = element('input');
        Object.assign(radio, { type: 'radio', name: 'edit-scope', value, checked: value === scope });
        radio.addEventListener('change', () => { scope = value; showFormulas(); });
        label.append(radio, ' ', text);
        choice.append(label);
      }
      editor.append(choice);
    }
    const inputs = [];
    const showFormulas = () => {
      for (const { channel, input } of inputs)
        input.value = scope === 'one' ? channel.formulas?.[instance.index] ?? channel.formula : channel.formula;
    };
    for (const channel of fixture.channels) {
      const line = element('div', 'channel');
      const input = element('input', 'formula');
      input.spellcheck = false;
      input.dataset.channel = channel.name;
      inputs.push({ channel, input });
      const apply = element('button', '', 'Apply');
      apply.type = 'button';
      const outcome = element('div', 'outcome');
      const send = async () => {
        const index = scope === 'group' ? '*' : instance.index;
        const address = `/zr/formula/${fixture.name}/${index}/${channel.name}`;
        const answer = await post('/api/show/edit', [['address', address], ['formula', input.value]]);
        outcome.replaceChildren();
        if (answer.ok) {
          if (scope === 'group') {
            channel.formula = input.value;
            channel.formulas = [];
            this.unsaved = answer.unsaved;
          } else {
            channel.formulas = channel.formulas || [];
            channel.formulas[instance.index] = input.value;
          }
          const where = fixture.count > 1 ? `running on all ${fixture.count}` : 'running';
          outcome.append(element('div', 'applied', scope === 'group' ? `${where}, not saved yet` : 'running on this fixture'));
          this.showSaveState();
        } else if (answer.refused) {
          outcome.append(renderFailure(answer.refused, (failure, suggestion) => {
            input.value = replaceName(input.value, failure, suggestion);
          }));
        } else {
          outcome.append(element('div', 'error', answer.error || answer.inputError));
        }
      };
      apply.addEventListener('click', send);
      input.addEventListener('keydown', (event) => { if (event.key === 'Enter') send(); });
      const tryIt = element('button', 'try', 'Try');
      tryIt.type = 'button';
      tryIt.title = 'Draw this formula in the formula pane, as this fixture runs it';
      tryIt.addEventListener('click', () => formulaPane.tryChannel(input.value, instance.index, fixture.count));
      line.append(element('label', '', channel.name), input, apply, tryIt, outcome);
      editor.append(line);
    }
    showFormulas();
    const save = element('button', '', 'Save to the show file');
    save.type = 'button';
    save.id = 'show-save';
    save.addEventListener('click', () => this.save());
    const state = element('p', 'save-state');
    state.id = 'save-state';
    const saveLine = element('div', 'save-line');
    saveLine.append(save, state);
    editor.append(saveLine, element('p', 'note',
      'Save writes the edits of whole groups into the show file, in place, its comments kept. ' +
      'An edit of one fixture runs until the show restarts and is not saved.'));
    this.showSaveState();
  },

  unsaved: 0, // group edits the file does not have yet

  showSaveState(message, failed) {
    const state = $('save-state');
    if (!state) return;
    state.classList.toggle('error', Boolean(failed));
    state.textContent = message || (this.unsaved ? `${this.unsaved} group ${this.unsaved === 1 ? 'edit' : 'edits'} not saved` : 'Nothing to save');
  },

  async save() {
    const response = await fetch('/api/show/save', { method: 'POST' });
    const answer = await response.json();
    if (response.status === 409) {
      this.unsaved = 0;
      this.showSaveState(answer.conflict, true);
    } else if (answer.saved !== undefined) {
      this.unsaved = 0;
      this.showSaveState(answer.saved ? `Saved into ${answer.path.split('/').pop()}` : 'Nothing to save');
    } else {
      this.showSaveState(answer.inputError || answer.error, true);
    }
  },
};

formulaPane.init();
chartAxes.init();
cataloguePane.init();
showPane.init();
