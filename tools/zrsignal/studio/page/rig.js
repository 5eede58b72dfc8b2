// The rig view of the studio: every fixture and pixel of the show drawn on a canvas where the
// show places it, from the newest frame of the server's binary frame stream; zoom and pan with
// the wheel, a drag or two fingers, and a fixture's channels on hover (or a tap).
'use strict';

// ---- the frame stream ----------------------------------------------------------------------

// Reads GET /api/show/frames: messages of a u32 length (little-endian) and that many bytes,
// u8 kind (1 frame, 2 end, 3 waiting), u8 tempo, u16 universes, u32 0, f64 frame, f64 bpm,
// f64 beat, f64 beatphase, then 512 slots per universe. Hands each frame to `onFrame` as
// { frame, slots (all universes, 512 each), universes (a view per universe), tempo or null }.
class FrameStream {
  static HEADER = 44;
  static FRAME = 1;
  static END = 2;

  constructor(url, onFrame, onEnd) {
    this.url = url;
    this.onFrame = onFrame;
    this.onEnd = onEnd;
    this.buffer = new Uint8Array(1 << 16);
    this.start = 0; // the first byte not yet read
    this.end = 0;   // after the last byte received
  }

  async run() {
    const response = await fetch(this.url);
    if (!response.ok || !response.body) throw new Error(`${this.url}: ${response.status}`);
    const reader = response.body.getReader();
    for (;;) {
      const { value, done } = await reader.read();
      if (done) return;
      this.receive(value);
      if (this.readMessages()) { reader.cancel(); return; }
    }
  }

  receive(chunk) {
    if (this.end + chunk.length > this.buffer.length) {
      const kept = this.end - this.start;
      const needed = kept + chunk.length;
      if (needed > this.buffer.length) {
        const larger = new Uint8Array(Math.max(needed, 2 * this.buffer.length));
        larger.set(this.buffer.subarray(this.start, this.end));
        this.buffer = larger;
      } else {
        this.buffer.copyWithin(0, this.start, this.end);
      }
      this.start = 0;
      this.end = kept;
    }
    this.buffer.set(chunk, this.end);
    this.end += chunk.length;
  }

  // Reads every whole message; only the newest frame among them is handed on. True at the end.
  readMessages() {
    let newest = null;
    let ended = false;
    while (this.end - this.start >= 4) {
      const view = new DataView(this.buffer.buffer, this.buffer.byteOffset + this.start, this.end - this.start);
      const length = view.getUint32(0, true);
      if (this.end - this.start < 4 + length) break;
      const kind = view.getUint8(4);
      if (kind === FrameStream.FRAME) newest = { at: this.start, view };
      else if (kind === FrameStream.END) ended = true;
      this.start += 4 + length;
    }
    if (newest) this.onFrame(FrameStream.decode(this.buffer, newest.at, newest.view));
    if (this.start === this.end) this.start = this.end = 0;
    if (ended) this.onEnd();
    return ended;
  }

  static decode(buffer, at, view) {
    const universeCount = view.getUint16(6, true);
    const slots = buffer.slice(at + FrameStream.HEADER, at + FrameStream.HEADER + universeCount * 512);
    const universes = [];
    for (let u = 0; u < universeCount; ++u) universes.push(slots.subarray(u * 512, u * 512 + 512));
    const tempo = view.getUint8(5)
      ? { bpm: view.getFloat64(20, true), beat: view.getFloat64(28, true), beatphase: view.getFloat64(36, true) }
      : null;
    return { frame: view.getFloat64(12, true), slots, universes, tempo };
  }
}

// ---- what a fixture shows --------------------------------------------------------------------

// The slot of each role of an instance, as an index into a frame's slots (-1: it has none).
const RIG_ROLES = ['red', 'green', 'blue', 'white', 'amber', 'dimmer', 'pan', 'tilt'];

// A fixture's light from its slots: red, green and blue with white and amber mixed in (amber as
// 255, 191, 0), white light when it has no colour channel, times the dimmer. Writes r, g, b
// (0-255, brightness applied) and the brightness (0-1) into `out`.
function rigLight(slots, roles, base, out) {
  const red = roles.red >= 0 ? slots[base + roles.red] : -1;
  const green = roles.green >= 0 ? slots[base + roles.green] : -1;
  const blue = roles.blue >= 0 ? slots[base + roles.blue] : -1;
  const white = roles.white >= 0 ? slots[base + roles.white] : 0;
  const amber = roles.amber >= 0 ? slots[base + roles.amber] : 0;
  let r; let g; let b;
  if (red < 0 && green < 0 && blue < 0 && roles.white < 0 && roles.amber < 0) {
    r = g = b = 255;
  } else {
    r = Math.min(255, Math.max(red, 0) + white + amber);
    g = Math.min(255, Math.max(green, 0) + white + amber * 0.75);
    b = Math.min(255, Math.max(blue, 0) + white);
  }
  let brightness = 1;
  if (roles.dimmer >= 0) {
    brightness = roles.dimmerFine >= 0
      ? (slots[base + roles.dimmer] * 256 + slots[base + roles.dimmerFine]) / 65535
      : slots[base + roles.dimmer] / 255;
  }
  out.r = Math.round(r * brightness);
  out.g = Math.round(g * brightness);
  out.b = Math.round(b * brightness);
  out.brightness = brightness;
}

// A 16-bit channel's value from 0 to 1, or an 8-bit one's.
function rigFraction(slots, base, coarse, fine) {
  if (coarse < 0) return 0.5;
  return fine >= 0 ? (slots[base + coarse] * 256 + slots[base + fine]) / 65535 : slots[base + coarse] / 255;
}

// ---- the view ----------------------------------------------------------------------------------

class RigView {
  static GUTTER = 96;        // names of the groups, left of them
  static GAP = 10;           // between groups
  static MAX_PIXEL_CELL = 24;
  static MAX_LAMP_CELL = 64;
  static PAN_RANGE = 540;    // degrees of pan of a common moving head
  static TILT_RANGE = 270;
  static BACKGROUND = '#0d0f13';
  static EMPTY_CELL = 0xff231d1a; // a cell of a grid without a fixture: #1a1d23 (ABGR in memory)

  // `layout`: GET /api/show. Groups of pixels (a pixel map, or many fixtures) are drawn as
  // pictures of one cell per fixture; the others as lamps, moving heads with their beam.
  constructor(canvas, tip, layout) {
    this.canvas = canvas;
    this.tip = tip;
    this.context = canvas.getContext('2d', { alpha: false });
    this.frame = null;
    this.dirty = true;
    this.drawn = 0;        // frames drawn, for measurements
    this.firstDrawnAt = null; // performance.now() of the first
    this.hovered = null;   // { group, index }
    this.pointers = new Map();
    this.zoom = 1;
    this.offsetX = 0;
    this.offsetY = 0;
    this.light = { r: 0, g: 0, b: 0, brightness: 0 };
    this.build(layout);
    // As tall as the rig drawn to the canvas's width, within reason.
    const tall = Math.min(Math.max(this.worldHeight, 180), Math.max(240, 0.7 * window.innerHeight));
    canvas.style.height = `${Math.round(tall)}px`;
    this.listen();
    this.resize();
    this.fit();
    new ResizeObserver(() => { this.resize(); this.dirty = true; }).observe(canvas);
    const tick = () => { if (this.dirty) this.draw(); requestAnimationFrame(tick); };
    requestAnimationFrame(tick);
  }

  // Each group's place in the world (CSS pixels at zoom 1), its instances' slots and cells.
  build(layout) {
    const universes = layout.universes.length;
    const width = Math.max(320, this.canvas.clientWidth || 800) - RigView.GUTTER;
    this.groups = [];
    let y = RigView.GAP;
    let atlasWidth = 1;
    let atlasHeight = 0;
    for (const fixture of layout.fixtures) {
      const roles = {};
      for (const role of RIG_ROLES) roles[role] = -1;
      roles.panFine = roles.tiltFine = roles.dimmerFine = -1;
      for (const channel of fixture.channels) {
        if (!channel.role || roles[channel.role] >= 0) continue;
        roles[channel.role] = channel.offset;
        if (channel.width === 16 && roles[channel.role + 'Fine'] !== undefined) roles[channel.role + 'Fine'] = channel.fine;
      }
      const pixels = fixture.mapped || fixture.count > 32;
      const head = roles.pan >= 0 || roles.tilt >= 0;
      const cell = Math.max(1, Math.min(width / fixture.columns, pixels ? RigView.MAX_PIXEL_CELL : RigView.MAX_LAMP_CELL));
      const bases = new Int32Array(fixture.count);
      for (let i = 0; i < fixture.count; ++i) {
        const universe = fixture.at[2 * i];
        bases[i] = universe < universes ? universe * 512 + fixture.at[2 * i + 1] : -1;
      }
      // Moving heads keep room around them for their beams.
      const pad = head && !pixels ? cell * 1.6 : 0;
      const group = { fixture, roles, pixels, head, cell, bases, cells: fixture.cells, pad,
                      x: RigView.GUTTER + pad, y: y + pad, width: fixture.columns * cell, height: fixture.rows * cell };
      if (pixels) {
        group.atlasY = atlasHeight;
        atlasHeight += fixture.rows;
        atlasWidth = Math.max(atlasWidth, fixture.columns);
        // Each cell's fixture, for hovering: -1 where there is none.
        group.byCell = new Int32Array(fixture.columns * fixture.rows).fill(-1);
        for (let i = 0; i < fixture.count; ++i) group.byCell[fixture.cells[2 * i + 1] * fixture.columns + fixture.cells[2 * i]] = i;
      }
      this.groups.push(group);
      y += group.height + 2 * pad + RigView.GAP;
    }
    this.worldWidth = RigView.GUTTER + Math.max(1, ...this.groups.map((g) => g.width + 2 * g.pad)) + RigView.GAP;
    this.worldHeight = y;
    // One picture holds every pixel group, a row of it per row of cells; drawn scaled up.
    this.atlas = document.createElement('canvas');
    this.atlas.width = atlasWidth;
    this.atlas.height = Math.max(1, atlasHeight);
    this.atlasContext = this.atlas.getContext('2d');
    this.atlasImage = this.atlasContext.createImageData(this.atlas.width, this.atlas.height);
    this.atlasWords = new Uint32Array(this.atlasImage.data.buffer);
    this.atlasWords.fill(RigView.EMPTY_CELL);
    for (const group of this.groups.filter((g) => g.pixels)) {
      const offsets = new Int32Array(group.fixture.count);
      for (let i = 0; i < offsets.length; ++i) offsets[i] = (group.atlasY + group.cells[2 * i + 1]) * this.atlas.width + group.cells[2 * i];
      group.atlasOffsets = offsets;
    }
  }

  // The newest frame; drawn at the next animation frame.
  show(frame) {
    this.frame = frame;
    this.dirty = true;
  }

  resize() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, this.canvas.clientWidth);
    const height = Math.max(1, this.canvas.clientHeight);
    if (this.canvas.width !== Math.round(width * ratio) || this.canvas.height !== Math.round(height * ratio)) {
      this.canvas.width = Math.round(width * ratio);
      this.canvas.height = Math.round(height * ratio);
    }
    this.ratio = ratio;
  }

  // The whole rig in view, at most twice its size.
  fit() {
    const width = this.canvas.clientWidth || 800;
    const height = this.canvas.clientHeight || 400;
    this.zoom = Math.min(width / this.worldWidth, height / this.worldHeight, 2);
    this.offsetX = (width - this.worldWidth * this.zoom) / 2;
    this.offsetY = (height - this.worldHeight * this.zoom) / 2;
    this.dirty = true;
  }

  // Zooms by `factor` keeping the point (x, y) of the canvas where it is.
  zoomAt(x, y, factor) {
    const zoom = Math.min(Math.max(this.zoom * factor, 0.05), 80);
    this.offsetX = x - (x - this.offsetX) * (zoom / this.zoom);
    this.offsetY = y - (y - this.offsetY) * (zoom / this.zoom);
    this.zoom = zoom;
    this.dirty = true;
  }

  listen() {
    const canvas = this.canvas;
    const place = (event) => {
      const box = canvas.getBoundingClientRect();
      return { x: event.clientX - box.left, y: event.clientY - box.top };
    };
    canvas.addEventListener('wheel', (event) => {
      event.preventDefault();
      const at = place(event);
      this.zoomAt(at.x, at.y, Math.exp(-event.deltaY * 0.0015));
    }, { passive: false });
    canvas.addEventListener('dblclick', () => this.fit());
    canvas.addEventListener('pointerdown', (event) => {
      canvas.setPointerCapture(event.pointerId);
      this.pointers.set(event.pointerId, { ...place(event), moved: 0 });
    });
    canvas.addEventListener('pointermove', (event) => {
      const at = place(event);
      const before = this.pointers.get(event.pointerId);
      if (!before) { this.hover(at); return; }
      if (this.pointers.size === 1) {
        this.offsetX += at.x - before.x;
        this.offsetY += at.y - before.y;
      } else if (this.pointers.size === 2) {
        // Two fingers: zoom by how far apart they move, about their middle.
        const [other] = [...this.pointers].filter(([id]) => id !== event.pointerId).map(([, p]) => p);
        const apart = Math.hypot(before.x - other.x, before.y - other.y);
        const now = Math.hypot(at.x - other.x, at.y - other.y);
        if (apart > 0) this.zoomAt((at.x + other.x) / 2, (at.y + other.y) / 2, now / apart);
      }
      this.pointers.set(event.pointerId, { ...at, moved: before.moved + Math.abs(at.x - before.x) + Math.abs(at.y - before.y) });
      this.dirty = true;
    });
    const release = (event) => {
      const before = this.pointers.get(event.pointerId);
      this.pointers.delete(event.pointerId);
      // A tap (a touch that hardly moved) shows that fixture's channels, as hovering does.
      if (before && before.moved < 6) this.hover(place(event));
    };
    canvas.addEventListener('pointerup', release);
    canvas.addEventListener('pointercancel', (event) => this.pointers.delete(event.pointerId));
    canvas.addEventListener('pointerleave', (event) => {
      if (event.pointerType === 'mouse' && !this.pointers.size) { this.hovered = null; this.tip.hidden = true; }
    });
  }

  // The fixture at a point of the canvas, or null.
  fixtureAt(x, y) {
    const wx = (x - this.offsetX) / this.zoom;
    const wy = (y - this.offsetY) / this.zoom;
    for (const group of this.groups) {
      if (wx < group.x || wy < group.y || wx >= group.x + group.width || wy >= group.y + group.height) continue;
      const column = Math.floor((wx - group.x) / group.cell);
      const row = Math.floor((wy - group.y) / group.cell);
      if (group.pixels) {
        const index = group.byCell[row * group.fixture.columns + column];
        return index >= 0 ? { group, index } : null;
      }
      for (let i = 0; i < group.fixture.count; ++i) {
        if (group.cells[2 * i] === column && group.cells[2 * i + 1] === row) return { group, index: i };
      }
    }
    return null;
  }

  // Where the centre of a fixture is drawn, in CSS pixels of the canvas (null: no such one).
  centreOf(name, index) {
    const group = this.groups.find((g) => g.fixture.name === name);
    if (!group || index >= group.fixture.count) return null;
    const wx = group.x + (group.cells[2 * index] + 0.5) * group.cell;
    const wy = group.y + (group.cells[2 * index + 1] + 0.5) * group.cell;
    return { x: wx * this.zoom + this.offsetX, y: wy * this.zoom + this.offsetY, radius: group.cell * this.zoom / 2 };
  }

  hover(at) {
    this.hovered = this.fixtureAt(at.x, at.y);
    this.tip.hidden = !this.hovered;
    if (!this.hovered) return;
    const parent = this.canvas.getBoundingClientRect();
    const left = Math.min(at.x + 14, parent.width - 200);
    this.tip.style.left = `${Math.max(0, left)}px`;
    this.tip.style.top = `${at.y + 14}px`;
    this.describeHovered();
  }

  // The hovered fixture's channels: DMX values, 16-bit channels whole.
  describeHovered() {
    if (!this.hovered) return;
    const { group, index } = this.hovered;
    const fixture = group.fixture;
    const lines = [fixture.count > 1 ? `${fixture.name} ${index + 1}` : fixture.name];
    const base = group.bases[index];
    for (const channel of fixture.channels) {
      let value = '–';
      if (this.frame && base >= 0) {
        const slots = this.frame.slots;
        value = channel.width === 16 ? slots[base + channel.offset] * 256 + slots[base + channel.fine] : slots[base + channel.offset];
      }
      lines.push(`${channel.name} ${value}`);
    }
    this.tip.textContent = lines.join('\n');
  }

  draw() {
    this.dirty = false;
    const context = this.context;
    context.setTransform(this.ratio, 0, 0, this.ratio, 0, 0);
    context.fillStyle = RigView.BACKGROUND;
    context.fillRect(0, 0, this.canvas.width, this.canvas.height);
    const slots = this.frame ? this.frame.slots : null;
    if (slots) this.paintAtlas(slots);
    context.translate(this.offsetX, this.offsetY);
    context.scale(this.zoom, this.zoom);
    context.imageSmoothingEnabled = false;
    for (const group of this.groups) {
      if (group.pixels) {
        context.drawImage(this.atlas, 0, group.atlasY, group.fixture.columns, group.fixture.rows,
                          group.x, group.y, group.width, group.height);
      } else {
        this.drawLamps(group, slots);
      }
    }
    this.drawNames();
    this.describeHovered();
    if (this.frame) {
      if (!this.drawn) this.firstDrawnAt = performance.now();
      ++this.drawn;
      this.canvas.dataset.frame = this.frame.frame;
    }
  }

  // Every pixel of the pixel groups into the atlas: one word per pixel, then one copy.
  paintAtlas(slots) {
    const words = this.atlasWords;
    const light = this.light;
    for (const group of this.groups) {
      if (!group.pixels) continue;
      const { bases, roles, atlasOffsets } = group;
      for (let i = 0; i < bases.length; ++i) {
        if (bases[i] < 0) continue;
        rigLight(slots, roles, bases[i], light);
        words[atlasOffsets[i]] = 0xff000000 | (light.b << 16) | (light.g << 8) | light.r;
      }
    }
    this.atlasContext.putImageData(this.atlasImage, 0, 0);
  }

  // Lamps as discs; a moving head as a beam whose direction follows pan (a full pan range of
  // 540°, the middle pointing down the view) and whose length follows tilt.
  drawLamps(group, slots) {
    const context = this.context;
    const light = this.light;
    const { cell, roles } = group;
    for (let i = 0; i < group.fixture.count; ++i) {
      const x = group.x + (group.cells[2 * i] + 0.5) * cell;
      const y = group.y + (group.cells[2 * i + 1] + 0.5) * cell;
      const base = group.bases[i];
      if (slots && base >= 0) rigLight(slots, roles, base, light);
      else Object.assign(light, { r: 0, g: 0, b: 0, brightness: 0 });
      const colour = `rgb(${light.r}, ${light.g}, ${light.b})`;
      if (group.head) {
        const pan = slots && base >= 0 ? rigFraction(slots, base, roles.pan, roles.panFine) : 0.5;
        const tilt = slots && base >= 0 ? rigFraction(slots, base, roles.tilt, roles.tiltFine) : 0.5;
        const angle = Math.PI / 2 + (pan - 0.5) * RigView.PAN_RANGE * Math.PI / 180;
        const reach = cell * (0.9 + 1.6 * Math.abs(Math.sin((tilt - 0.5) * RigView.TILT_RANGE * Math.PI / 180)));
        const spread = 0.2;
        if (light.brightness > 0) {
          // Light fading along the beam, from the lens outwards.
          const beam = context.createRadialGradient(x, y, cell * 0.3, x, y, reach);
          beam.addColorStop(0, `rgba(${light.r}, ${light.g}, ${light.b}, ${0.4 + 0.5 * light.brightness})`);
          beam.addColorStop(1, `rgba(${light.r}, ${light.g}, ${light.b}, 0)`);
          context.fillStyle = beam;
          context.beginPath();
          context.moveTo(x, y);
          context.arc(x, y, reach, angle - spread, angle + spread);
          context.closePath();
          context.fill();
        }
        context.fillStyle = '#2a2f3a';
        context.beginPath();
        context.arc(x, y, cell * 0.3, 0, 2 * Math.PI);
        context.fill();
      }
      context.fillStyle = colour;
      context.beginPath();
      context.arc(x, y, cell * (group.head ? 0.2 : 0.4), 0, 2 * Math.PI);
      context.fill();
    }
  }

  // The groups' names in the gutter, where there is room for them.
  drawNames() {
    const context = this.context;
    const size = 12 / this.zoom;
    context.fillStyle = '#9aa3b2';
    context.font = `${size}px "DejaVu Sans", sans-serif`;
    context.textBaseline = 'middle';
    let lastBottom = -Infinity;
    for (const group of this.groups) {
      const middle = group.y + Math.min(group.height, 2 * size) / 2;
      if (middle - size / 2 < lastBottom) continue;
      context.fillText(group.fixture.name, 6 / this.zoom, middle, RigView.GUTTER - 10);
      lastBottom = middle + size / 2;
    }
  }
}
