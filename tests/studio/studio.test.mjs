// The studio page in a real browser: curves against zrsignal eval, errors with caret and hints,
// the catalogue, and the show's tiles against zrsignal run --print csv; and the server's checks.
//   ZRSIGNAL=... ZR_SOURCE_DIR=... [ZR_SCREENSHOTS=docs] node studio.test.mjs TEST
// Each test starts its own zrsignal serve on 127.0.0.1 and stops it by its process id.
import assert from 'node:assert/strict';
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const ZRSIGNAL = process.env.ZRSIGNAL;
const SOURCE_DIR = process.env.ZR_SOURCE_DIR;
const SCREENSHOTS = process.env.ZR_SCREENSHOTS;
const CHROMIUM = process.env.ZR_CHROMIUM || '/usr/bin/chromium';
const SHOW = path.join(SOURCE_DIR || '.', 'examples', 'show.toml');
// Generous bounds: sanitizer builds start and draw slowly.
const START_TIMEOUT_MS = 60000;
const WAIT_MS = 30000;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'zr-studio-test-'));

// ---- zrsignal, as a command and as a server ------------------------------------------------

function zrsignal(args) {
  return execFileSync(ZRSIGNAL, args, { encoding: 'utf8', maxBuffer: 64 << 20, stdio: ['ignore', 'pipe', 'pipe'] });
}

function zrsignalFailure(args) {
  try {
    execFileSync(ZRSIGNAL, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (failure) {
    return failure.stderr;
  }
  throw new Error(`zrsignal ${args.join(' ')} succeeded`);
}

// Starts `zrsignal serve --port 0 ARGS` and waits (bounded) for the address it prints.
async function startServer(args) {
  const child = spawn(ZRSIGNAL, ['serve', '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const url = await new Promise((resolve, reject) => {
    let stdout = '';
    const timer = setTimeout(() => reject(new Error('zrsignal serve did not start in time:\n' + stderr)), START_TIMEOUT_MS);
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const found = stdout.match(/zrsignal serve: (http:\/\/\S+)/);
      if (found) { clearTimeout(timer); resolve(found[1]); }
    });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`zrsignal serve ended (${code}):\n${stderr}`)); });
  });
  return {
    url,
    port: Number(new URL(url).port),
    stderr: () => stderr,
    // SIGTERM to its process id; it must end cleanly within a bounded time.
    async stop() {
      if (child.exitCode !== null) return child.exitCode;
      const ended = new Promise((resolve) => child.once('exit', (code, signal) => resolve(signal || code)));
      process.kill(child.pid, 'SIGTERM');
      let timer;
      const late = new Promise((resolve) => { timer = setTimeout(() => resolve('timeout'), 15000); });
      const outcome = await Promise.race([ended, late]);
      clearTimeout(timer);
      if (outcome === 'timeout') process.kill(child.pid, 'SIGKILL');
      assert.equal(outcome, 0, 'zrsignal serve ends with status 0 on SIGTERM:\n' + stderr);
      return outcome;
    },
  };
}

// A fresh chromium profile for each test; the flags keep it off the network it cannot reach.
// `screen` may give another viewport, and touch.
async function withPage(url, test, screen = {}) {
  const profile = fs.mkdtempSync(path.join(scratch, 'profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1400, height: 1000 },
    ...screen,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  const problems = [];
  try {
    const page = context.pages()[0] || await context.newPage();
    page.setDefaultTimeout(WAIT_MS);
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(url);
    await test(page);
    assert.deepEqual(problems, [], 'the page throws nothing');
  } finally {
    await context.close();
  }
}

// Keeps the picture of a pane in ZR_SCREENSHOTS for docs/studio.md. Chromium draws antialiased edges
// a little differently from run to run; a picture that differs only that much is left as it
// is, so the committed pictures change when the page does.
async function screenshot(locator, name) {
  if (!SCREENSHOTS) return;
  const file = path.join(SCREENSHOTS, name);
  const fresh = await locator.screenshot({ animations: 'disabled' });
  if (fs.existsSync(file) && await nearlyTheSame(locator.page(), fs.readFileSync(file), fresh)) return;
  fs.writeFileSync(file, fresh);
}

// Whether two PNG pictures have the same size and at most 1 % of their pixels differ.
function nearlyTheSame(page, a, b) {
  return page.evaluate(async ([first, second]) => {
    const pixels = async (base64) => {
      const image = new Image();
      image.src = 'data:image/png;base64,' + base64;
      await image.decode();
      const canvas = new OffscreenCanvas(image.width, image.height);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height);
    };
    const [x, y] = [await pixels(first), await pixels(second)];
    if (x.width !== y.width || x.height !== y.height) return false;
    let differing = 0;
    for (let i = 0; i < x.data.length; i += 4) {
      if (x.data[i] !== y.data[i] || x.data[i + 1] !== y.data[i + 1] || x.data[i + 2] !== y.data[i + 2]) ++differing;
    }
    return differing <= x.width * x.height / 100;
  }, [a.toString('base64'), b.toString('base64')]);
}

// ---- the formula pane --------------------------------------------------------------------

// Waits for the curve of `formula` with `frames` points; returns its values as sent and the
// chart's drawing of them: the y of each point and the value range of the chart.
async function curveOf(page, formula, frames) {
  const handle = await page.waitForFunction(([wanted, count]) => {
    const group = [...document.querySelectorAll('#chart g.series')].find((g) => g.dataset.formula === wanted);
    if (!group) return null;
    const points = [...group.querySelectorAll('polyline')].flatMap((line) => line.getAttribute('points').trim().split(/\s+/));
    if (points.length !== count) return null;
    const chart = document.getElementById('chart');
    return { values: JSON.parse(group.dataset.values), ys: points.map((p) => Number(p.split(',')[1])),
             low: Number(chart.dataset.low), high: Number(chart.dataset.high) };
  }, [formula, frames]);
  return handle.jsonValue();
}

function evalValues(args) {
  return JSON.parse(zrsignal(['eval', '--format', 'json', ...args])).values;
}

async function typeFormula(page, index, text) {
  const input = page.locator('.formula-row input.formula').nth(index);
  await input.fill('');
  await input.pressSequentially(text, { delay: 5 });
}

const tests = {
  async FormulaCurveMatchesEval() {
    const csv = path.join(scratch, 'beats.csv');
    fs.writeFileSync(csv, 'beat\n' + Array.from({ length: 60 }, (_, i) => (i % 8 === 0 ? 100 : 0)).join('\n') + '\n');
    const server = await startServer([]);
    try {
      await withPage(server.url, async (page) => {
        await page.fill('#frames', '60');
        await page.fill('#vars', 'speed=0.2');
        await page.setInputFiles('#csv-file', csv);
        const wave = '50 + 40 * __sin(speed)';
        const flash = '__fadeoutlinear(8, beat)';
        await typeFormula(page, 0, wave);
        await page.click('#add-formula');
        await typeFormula(page, 1, flash);
        for (const formula of [wave, flash]) {
          const curve = await curveOf(page, formula, 60);
          assert.deepEqual(curve.values, evalValues(['--frames', '60', '--var', 'speed=0.2', '--input', csv, formula]), formula);
          // Each point stands where its value lies between the chart's lowest and highest.
          const margin = 300 * 0.05;
          curve.values.forEach((value, i) => {
            const y = margin + (curve.high - value) / (curve.high - curve.low) * (300 - 2 * margin);
            assert.ok(Math.abs(curve.ys[i] - y) < 0.01, `${formula}: point ${i} at ${curve.ys[i]}, not ${y}`);
          });
        }
        await screenshot(page.locator('#formula-pane'), 'studio-formulas.png');
      });
    } finally {
      await server.stop();
    }
  },

  async RefusedFormulaShowsCaretAndHints() {
    const server = await startServer([]);
    try {
      await withPage(server.url, async (page) => {
        const broken = '1 + countr(0, 7, 1)';
        await typeFormula(page, 0, broken);
        const error = page.locator('.formula-row .error').first();
        // The whole formula refused, not one typed halfway.
        await error.locator('.subject', { hasText: broken }).waitFor();
        await error.locator('.caret').waitFor();
        // The same lines as the command line prints, hints included.
        const shown = await error.evaluate((box) => [
          box.querySelector('.lines').textContent, box.querySelector('.subject').textContent,
          box.querySelector('.caret').textContent, ...[...box.querySelectorAll('.hints li')].map((li) => li.textContent),
        ].join('\n') + '\n');
        assert.equal(shown, zrsignalFailure(['eval', '--hints', broken]));
        // The caret stands under the character it points at: the "c" of countr.
        const place = await error.evaluate((box) => {
          const caret = box.querySelector('.caret');
          const range = document.createRange();
          range.setStart(caret.firstChild, caret.textContent.length - 1);
          range.setEnd(caret.firstChild, caret.textContent.length);
          return { caret: range.getBoundingClientRect().left, marked: box.querySelector('mark').getBoundingClientRect().left,
                   character: box.querySelector('mark').textContent };
        });
        assert.equal(place.character, 'c');
        assert.ok(Math.abs(place.caret - place.marked) < 1, `caret at ${place.caret}, character at ${place.marked}`);
        await screenshot(page.locator('#formula-pane'), 'studio-error.png');

        // Choosing the suggestion mends the formula.
        await error.getByRole('button', { name: 'counter' }).click();
        assert.equal(await page.locator('.formula-row input.formula').first().inputValue(), '1 + counter(0, 7, 1)');
        await curveOf(page, '1 + counter(0, 7, 1)', 200);
        assert.equal(await page.locator('.formula-row .error').count(), 0);

        // An unknown variable says where the page defines one.
        await typeFormula(page, 0, 'level * 2');
        await page.locator('.formula-row .error .hints', { hasText: 'under Variables as level=VALUE' }).waitFor();
      });
    } finally {
      await server.stop();
    }
  },

  async CatalogueSearchInsertsCounter() {
    const server = await startServer([]);
    try {
      await withPage(server.url, async (page) => {
        await page.locator('#catalogue-list .entry').first().waitFor();
        const everything = Number(await page.locator('#catalogue-list').getAttribute('data-count'));
        assert.ok(everything >= 100, `${everything} catalogue rows`);
        await page.locator('.formula-row input.formula').first().fill('');
        await page.fill('#catalogue-search', 'counter');
        await page.waitForFunction(() => document.querySelector('#catalogue-list .entry')?.dataset.symbol === 'counter');
        const found = await page.locator('#catalogue-list .entry').evaluateAll((entries) => entries.map((e) => ({
          symbol: e.dataset.symbol, text: e.textContent.toLowerCase(),
          points: e.querySelector('polyline')?.getAttribute('points').trim().split(/\s+/).length ?? 0,
        })));
        assert.ok(found.length < everything, 'the search leaves rows out');
        for (const entry of found) {
          assert.ok(entry.text.includes('counter'), `${entry.symbol} is found by counter`);
          assert.equal(entry.points, 120, `${entry.symbol} has its example curve`);
        }
        await screenshot(page.locator('#catalogue-pane'), 'studio-catalogue.png');

        const first = page.locator('#catalogue-list .entry').first();
        const example = await first.getAttribute('data-example');
        assert.match(example, /^counter\(/);
        await first.click();
        assert.equal(await page.locator('.formula-row input.formula').first().inputValue(), example);
        const curve = await curveOf(page, example, 200);
        assert.deepEqual(curve.values, evalValues(['--frames', '200', example]));
      });
    } finally {
      await server.stop();
    }
  },

  async ShowTilesMatchRunFrames() {
    // The last frame comes two frames after a beat, so the picture of the pane has a par lit.
    const FRAMES = 383;
    const levels = path.join(scratch, 'levels.csv');
    fs.writeFileSync(levels, 'level\n' + Array.from({ length: FRAMES }, (_, i) => (i % 20 < 2 ? 90 : 5)).join('\n') + '\n');
    const common = ['--clock', 'sim', '--frames', String(FRAMES), '--input', levels];
    // The frames run would send, by frame number: the 512 slots of universe 1.
    const sent = new Map();
    for (const line of zrsignal(['run', SHOW, '--print', 'csv', ...common]).trim().split('\n').slice(1)) {
      const cells = line.split(',').map(Number);
      sent.set(cells[0], cells.slice(2));
    }
    const server = await startServer([SHOW, ...common]);
    try {
      await withPage(server.url, async (page) => {
        await page.waitForFunction(() => Number(document.getElementById('show-pane').dataset.frame) >= 40);
        await page.click('#view-list');
        // Frame and tiles read at once: the page draws a whole frame in one task.
        const readTiles = () => page.evaluate(() => ({
          frame: Number(document.getElementById('show-pane').dataset.frame),
          tiles: [...document.querySelectorAll('.tile')].map((tile) => ({
            name: tile.dataset.fixture, index: Number(tile.dataset.index),
            colour: tile.querySelector('.lamp').style.backgroundColor,
            opacity: Number(tile.querySelector('.lamp').style.opacity),
            numbers: tile.querySelector('.numbers').textContent,
          })),
        }));
        // pars: 8 fixtures of dimmer, red, green, blue from slot 1; head: pan and tilt (16 bits)
        // and dimmer from slot 33. `red` replaces the red of one par.
        const expectFrame = (state, red = {}) => {
          const slots = sent.get(state.frame);
          assert.ok(slots, `frame ${state.frame} was sent by run`);
          for (const tile of state.tiles) {
            const where = `frame ${state.frame}, ${tile.name} ${tile.index}`;
            if (tile.name === 'pars') {
              const [dimmer, r, g, b] = slots.slice(tile.index * 4, tile.index * 4 + 4);
              assert.equal(tile.colour, `rgb(${red[tile.index] ?? r}, ${g}, ${b})`, where);
              assert.ok(Math.abs(tile.opacity - dimmer / 255) < 1e-6, `${where}: brightness ${tile.opacity}, dimmer ${dimmer}`);
            } else {
              assert.equal(tile.colour, 'rgb(255, 255, 255)', where);
              assert.ok(Math.abs(tile.opacity - slots[36] / 255) < 1e-6, where);
              assert.equal(tile.numbers, `pan ${slots[32] * 256 + slots[33]}\ntilt ${slots[34] * 256 + slots[35]}`, where);
            }
          }
        };
        expectFrame(await readTiles());

        // Editing the red of the third par recompiles that formula only.
        await page.locator('.tile[data-fixture="pars"][data-index="2"]').click();
        const red = page.locator('#channel-editor input[data-channel="red"]');
        await red.fill('100');
        await red.press('Enter');
        await page.locator('#channel-editor .applied').waitFor();
        const applied = (await readTiles()).frame;
        await page.waitForFunction((after) => Number(document.getElementById('show-pane').dataset.frame) > after + 2, applied);
        await page.click('#show-hold');
        expectFrame(await readTiles(), { 2: 255 });

        // Held until the show has run its frames: letting go shows the last one.
        await page.locator('#show-state', { hasText: 'has run its frames' })
          .waitFor({ timeout: FRAMES / 40 * 1000 * 4 + WAIT_MS });
        await page.click('#show-hold');
        await page.waitForFunction((end) => Number(document.getElementById('show-pane').dataset.frame) === end, FRAMES - 1);
        const last = await readTiles();
        expectFrame(last, { 2: 255 });
        await page.click('#channel-editor .close'); // the side panel would cover the picture
        await screenshot(page.locator('#show-pane'), 'studio-show.png');
      });
    } finally {
      await server.stop();
    }
  },

  async TapTempoFromTheShowPane() {
    // A show whose tempo comes from taps: taps half a second apart make about 120 beats a minute
    // (the server stamps each tap as it arrives, so a busy machine moves them a little; the
    // tempo's accuracy is the unit tests' to check), and the beat light follows.
    const tapShow = path.join(scratch, 'tap.toml');
    fs.writeFileSync(tapShow, [
      '[tempo]', 'source = "tap"',
      '[[output]]', 'universe = 1', 'protocol = "artnet"', 'address = "127.0.0.1"',
      '[[fixture]]', 'name = "par"', 'universe = 1', 'address = 1',
      'channels = [ { name = "dimmer", formula = "100 * (beatphase < 0.5)" } ]', '',
    ].join('\n'));
    const server = await startServer([tapShow]);
    try {
      await withPage(server.url, async (page) => {
        await page.locator('#show-tap').waitFor();
        assert.equal(await page.textContent('#show-tempo-source'), 'taps');
        assert.equal(await page.textContent('#show-bpm'), '–', 'no tempo before the taps');
        for (let tap = 0; tap < 6; ++tap) {
          const next = Date.now() + 500;
          await page.dispatchEvent('#show-tap', 'pointerdown');
          await new Promise((resolve) => setTimeout(resolve, next - Date.now()));
        }
        await page.waitForFunction(() => document.getElementById('show-bpm').textContent !== '–');
        const bpm = Number(await page.textContent('#show-bpm'));
        assert.ok(Math.abs(bpm - 120) < 30, `taps half a second apart read ${bpm} beats a minute`);
        // The light is on for a fifth of every beat: seen lit and unlit within two beats.
        const seen = await page.evaluate(() => new Promise((resolve) => {
          const states = new Set();
          const light = document.getElementById('show-beat');
          const timer = setInterval(() => states.add(light.classList.contains('on')), 20);
          setTimeout(() => { clearInterval(timer); resolve([...states]); }, 1000);
        }));
        assert.deepEqual(seen.sort(), [false, true], 'the beat light goes on and off');
        // The audio inputs a show could hear: this machine's, or a line saying there are none.
        await page.locator('#audio-device-list li').first().waitFor({ state: 'attached' });
      });
    } finally {
      await server.stop();
    }
  },

  async ServerRefusesOtherHostsAndOrigins() {
    const server = await startServer([]);
    try {
      const ask = (options, body) => new Promise((resolve, reject) => {
        const request = http.request({ host: '127.0.0.1', port: server.port, ...options }, (response) => {
          let text = '';
          response.on('data', (chunk) => { text += chunk; });
          response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, text }));
        });
        request.on('error', reject);
        request.setTimeout(WAIT_MS, () => request.destroy(new Error('no answer in time')));
        request.end(body);
      });
      const own = `127.0.0.1:${server.port}`;
      const form = (fields) => new URLSearchParams(fields).toString();
      const post = (headers, body) => ask({ method: 'POST', path: '/api/evaluate', headers: { Host: own,
        'Content-Type': 'application/x-www-form-urlencoded', 'Content-Length': Buffer.byteLength(body), ...headers } }, body);

      const page = await ask({ path: '/', headers: { Host: own } });
      assert.equal(page.status, 200);
      assert.match(page.headers['content-security-policy'], /default-src 'self'/);
      for (const asset of ['/', '/studio.js', '/studio.css']) {
        // The SVG namespace is a name, not a place the page loads from.
        const text = (await ask({ path: asset, headers: { Host: own } })).text.replaceAll('http://www.w3.org/2000/svg', '');
        assert.doesNotMatch(text, /https?:\/\/|\/\/cdn/, `${asset} loads nothing from elsewhere`);
      }
      assert.equal((await ask({ path: '/', headers: { Host: `localhost:${server.port}` } })).status, 200);
      assert.equal((await ask({ path: '/', headers: { Host: `rebound.example:${server.port}` } })).status, 403);
      assert.equal((await post({ Origin: 'http://evil.example' }, form({ formula: '1' }))).status, 403);
      const answered = await post({ Origin: `http://${own}` }, form({ formula: '1 + 1', frames: '2' }));
      assert.equal(answered.status, 200);
      assert.deepEqual(JSON.parse(answered.text).results[0].values, [2, 2]);
      const long = new FormData();
      long.append('formula', '1+'.repeat(2100) + '1');
      const refused = await (await fetch(server.url + 'api/evaluate', { method: 'POST', body: long })).json();
      assert.match(refused.inputError, /longer than 4096/);
      // A body announced too large is refused before it is read.
      const large = await ask({ method: 'POST', path: '/api/evaluate', headers: { Host: own, 'Content-Length': String(3 << 20) } });
      assert.equal(large.status, 413);
      assert.equal((await ask({ path: '/api/show', headers: { Host: own } })).status, 404, 'no show given');

      // A second server cannot take the same port.
      const second = spawnSync(ZRSIGNAL, ['serve', '--port', String(server.port)], { encoding: 'utf8', timeout: WAIT_MS });
      assert.equal(second.status, 1, 'a port in use is an error');
      assert.match(second.stderr, /cannot listen on 127\.0\.0\.1 port/);

      // It listens on the loopback address only.
      const listening = ['/proc/net/tcp', '/proc/net/tcp6'].flatMap((file) => fs.existsSync(file)
        ? fs.readFileSync(file, 'utf8').trim().split('\n').slice(1).map((line) => line.trim().split(/\s+/)) : [])
        .filter((cells) => cells[3] === '0A' && parseInt(cells[1].split(':')[1], 16) === server.port);
      assert.ok(listening.length > 0, 'its socket is listed');
      for (const cells of listening) assert.equal(cells[1].split(':')[0], '0100007F', 'bound to 127.0.0.1');
    } finally {
      await server.stop();
    }
  },
};

// ---- the show's names and ranges, group edits saved into the file, the token ------------

// A test that cannot run here, and says why (CTest shows it as skipped).
class Skipped extends Error {}

// A copy of the example show in the scratch directory, for tests that write it.
function copyOfShow(name) {
  const copy = path.join(scratch, name);
  fs.copyFileSync(SHOW, copy);
  return copy;
}

// Opens the channel editor of one fixture: from the list of tiles, where the page has a rig view too.
async function openEditor(page, fixture, index) {
  if (await page.locator('#view-list').count()) await page.click('#view-list');
  await page.locator(`.tile[data-fixture="${fixture}"][data-index="${index}"]`).click();
  await page.locator('#channel-editor').waitFor();
}

// Applies `formula` to channel `channel` of the open editor's whole group and waits until it runs.
async function applyToGroup(page, channel, formula) {
  await page.locator('#channel-editor input[name="edit-scope"][value="group"]').check();
  const input = page.locator(`#channel-editor input[data-channel="${channel}"]`);
  await input.fill(formula);
  await input.press('Enter');
  await page.locator('#channel-editor .applied', { hasText: 'not saved yet' }).waitFor();
}

// The 512 slots of universe 1 of each frame `zrsignal run FILE --print csv` sends.
function runSlots(file, frames) {
  return zrsignal(['run', file, '--print', 'csv', '--clock', 'sim', '--frames', String(frames)])
    .trim().split('\n').slice(1).map((line) => line.split(',').slice(2).map(Number));
}

Object.assign(tests, {
  async SliderUsesTheShowsRange() {
    const show = path.join(scratch, 'ranges.toml');
    fs.writeFileSync(show, [
      '[variables]', 'bpm = { value = 128, min = 60, max = 200, step = 1 }', 'master = 80', 'big = 500', '',
      '[[output]]', 'universe = 1', 'protocol = "artnet"', 'address = "127.0.0.1"', '',
      '[[fixture]]', 'name = "par"', 'universe = 1', 'address = 1',
      'channels = [ { name = "dimmer", formula = "bpm / 2" } ]', '',
    ].join('\n'));
    const server = await startServer([show]);
    try {
      await withPage(server.url, async (page) => {
        const slider = (name) => page.locator(`#show-variables input[type="range"][data-variable="${name}"]`);
        const range = (name) => slider(name).evaluate((input) => [input.min, input.max, input.step, input.value]);
        assert.deepEqual(await range('bpm'), ['60', '200', '1', '128'], 'the range the file gives');
        assert.deepEqual(await range('master'), ['0', '100', 'any', '80'], 'a plain number: 0 to 100');
        assert.deepEqual(await range('big'), ['0', '500', 'any', '500'], 'widened to take in its value');
        // Moved, it sets the show's variable: the formula pane, which knows the show, reads it.
        await slider('bpm').fill('150');
        await typeFormula(page, 0, 'bpm + 1');
        await page.waitForFunction(() => {
          const group = document.querySelector('#chart g.series');
          return group && JSON.parse(group.dataset.values)[0] === 151;
        });
      });
    } finally {
      await server.stop();
    }
  },

  async FormulaPaneKnowsTheShow() {
    const server = await startServer([SHOW]);
    try {
      await withPage(server.url, async (page) => {
        // The show's macro, constant and variable, in the pane as in the show.
        const formula = 'hue(2) + level';
        await page.fill('#frames', '40');
        await typeFormula(page, 0, formula);
        const curve = await curveOf(page, formula, 40);
        const showNames = ['--var', 'level=0', '--const', 'hue_step=12.5',
          '--macro', 'hue(i)=(50 + 50 * __sawtooth(__timeInc() / 20) + i * hue_step) % 100'];
        assert.deepEqual(curve.values, evalValues(['--frames', '40', ...showNames, formula]));
        assert.equal(await page.locator('.formula-row .error').count(), 0);
        // A channel's formula tried from the editor, as the fourth par runs it.
        await openEditor(page, 'pars', 3);
        await page.locator('#channel-editor .channel', { has: page.locator('input[data-channel="red"]') }).getByRole('button', { name: 'Try' }).click();
        const red = 'rgb.red.hsi(hue(index), 100, 50)';
        const tried = await curveOf(page, red, 40);
        assert.deepEqual(tried.values, evalValues(['--frames', '40', ...showNames, '--var', 'index=3', '--var', 'count=8', red]));
      });
    } finally {
      await server.stop();
    }
  },

  async GroupEditSavedIntoTheFile() {
    const file = copyOfShow('saved.toml');
    const original = fs.readFileSync(file, 'utf8');
    const server = await startServer([file]);
    try {
      await withPage(server.url, async (page) => {
        await page.waitForFunction(() => Number(document.getElementById('show-pane').dataset.frame) >= 1);
        await openEditor(page, 'pars', 2);
        const formula = '100 - index * 10';
        await applyToGroup(page, 'red', formula);
        await screenshot(page.locator('#channel-editor'), 'studio-editor.png');
        // Every par of the group, not only the one clicked: red is 255, 230, 204, ...
        await page.waitForFunction(() => {
          const reds = [...document.querySelectorAll('.tile[data-fixture="pars"] .lamp')]
            .map((lamp) => Number(/rgb\((\d+)/.exec(lamp.style.backgroundColor)?.[1]));
          return reds.length === 8 && reds.every((red, i) => red === Math.floor((100 - i * 10) * 255 / 100 + 0.5));
        });
        await page.click('#show-save');
        await page.locator('#save-state', { hasText: 'Saved into saved.toml' }).waitFor();
        // A page opened afterwards shows the formula the group runs.
        await page.reload();
        await openEditor(page, 'pars', 5);
        assert.equal(await page.locator('#channel-editor input[data-channel="red"]').inputValue(), formula);
      });
      // In place: the formula's text changed, not one other byte, comments and all.
      const saved = fs.readFileSync(file, 'utf8');
      assert.equal(saved, original.replace('"rgb.red.hsi(hue(index), 100, 50)"', '"100 - index * 10"'));
      assert.deepEqual(fs.readdirSync(scratch).filter((name) => name.startsWith('saved.toml')), ['saved.toml']);
      for (const slots of runSlots(file, 3)) {
        for (let par = 0; par < 8; ++par) assert.equal(slots[par * 4 + 1], Math.floor((100 - par * 10) * 255 / 100 + 0.5), `par ${par}`);
      }
    } finally {
      await server.stop();
    }
    assert.doesNotMatch(server.stderr(), /restart/, 'its own save is no change the show must restart for');
  },

  async ConflictingSaveIsRefused() {
    const file = copyOfShow('conflict.toml');
    const server = await startServer([file]);
    try {
      await withPage(server.url, async (page) => {
        await openEditor(page, 'pars', 0);
        await applyToGroup(page, 'red', '10');
        // Meanwhile someone else's editor writes the file.
        const theirs = fs.readFileSync(file, 'utf8') + '# their comment\n';
        fs.writeFileSync(file, theirs);
        await page.click('#show-save');
        await page.locator('#save-state.error', { hasText: 'changed on disk' }).waitFor();
        assert.equal(fs.readFileSync(file, 'utf8'), theirs, 'nothing is written over it');
      });
    } finally {
      await server.stop();
    }
  },

  async NonLoopbackListenerNeedsTheToken() {
    if (process.env.ZR_STUDIO_NETWORK !== 'namespace') throw new Skipped('needs a network namespace of its own (root, unshare and ip) to add an address');
    // A veth pair of this namespace only, with a private address the server listens on.
    execFileSync('ip', ['link', 'add', 'zrstudio0', 'type', 'veth', 'peer', 'name', 'zrstudio1']);
    execFileSync('ip', ['addr', 'add', '10.77.0.1/24', 'dev', 'zrstudio0']);
    execFileSync('ip', ['link', 'set', 'zrstudio0', 'up']);
    execFileSync('ip', ['link', 'set', 'zrstudio1', 'up']);
    const server = await startServer(['--listen', '10.77.0.1', SHOW]);
    try {
      const found = server.url.match(/^(http:\/\/10\.77\.0\.1:\d+\/)\?token=([0-9a-f]{64})$/);
      assert.ok(found, `the address with its token: ${server.url}`);
      const [, base, token] = found;
      const ask = (target, options = {}) => fetch(new URL(target, base), { redirect: 'manual', ...options });
      const edit = () => new URLSearchParams({ address: '/zr/formula/pars/*/red', formula: '0' });
      // Without the token, or with another, nothing is answered and nothing changes.
      for (const [target, options] of [['/', {}], ['/api/show', {}], ['/?token=' + '0'.repeat(64), {}],
        ['/api/show/edit', { method: 'POST', body: edit() }], ['/api/show/save', { method: 'POST' }],
        ['/api/show/edit', { method: 'POST', body: edit(), headers: { Cookie: `zrsignal-studio-${server.port}=${'1'.repeat(64)}` } }]]) {
        assert.equal((await ask(target, options)).status, 401, `${options.method || 'GET'} ${target}`);
      }
      assert.doesNotMatch(server.stderr(), /channel 'red'/, 'the refused edit reached nothing');
      // The first visit with it sets the cookie and goes on to the address without it.
      const first = await ask('/?token=' + token);
      assert.equal(first.status, 303);
      assert.equal(first.headers.get('location'), '/');
      assert.match(first.headers.get('set-cookie'), new RegExp(`^zrsignal-studio-${server.port}=${token}; Path=/; HttpOnly; SameSite=Strict$`));
      const cookie = { Cookie: `zrsignal-studio-${server.port}=${token}` };
      assert.equal((await ask('/api/show', { headers: cookie })).status, 200);
      // The browser: opened at the printed address, the page works from its cookie alone.
      await withPage(server.url, async (page) => {
        assert.equal(page.url(), base, 'the token leaves the address bar');
        assert.equal(await page.evaluate(() => document.cookie), '', 'the page\'s scripts cannot read the token');
        await typeFormula(page, 0, '2 + 3');
        await curveOf(page, '2 + 3', 200);
        await page.waitForFunction(() => Number(document.getElementById('show-pane').dataset.frame) >= 1);
      });
    } finally {
      await server.stop();
      execFileSync('ip', ['link', 'del', 'zrstudio0']);
    }
  },
});

// ---- the rig view ------------------------------------------------------------------------------

// Waits until the rig view has drawn a frame of the show, and brings it into view.
async function rigDrawn(page) {
  await page.waitForFunction(() => document.getElementById('rig')?.dataset.frame !== undefined);
  await page.locator('#rig').scrollIntoViewIfNeeded();
}

// A club rig: a 60-pixel bar, eight RGBW pars and four moving heads, all lit.
function clubShow() {
  const file = path.join(scratch, 'club.toml');
  const hue = (colour, place) => `rgb.${colour}.hsi((${place} + 10 * timer(0)) % 100, 100, 50)`;
  fs.writeFileSync(file, [
    `fps = 40`, '[[output]]', 'universe = 1', 'protocol = "sacn"', 'address = "127.0.0.1"',
    '[[fixture]]', 'name = "bar"', 'universe = 1', 'address = 1', 'layout = { strip = 60 }',
    `channels = [ ${['red', 'green', 'blue'].map((c) => `{ name = "${c}", formula = "${hue(c, '100 * x')}" }`).join(', ')} ]`,
    '[[fixture]]', 'name = "pars"', 'universe = 1', 'address = 201', 'count = 8',
    `channels = [ { name = "dimmer", formula = "70 + 30 * (index % 2)" }, ${['red', 'green', 'blue']
      .map((c) => `{ name = "${c}", formula = "${hue(c, 'index * 12.5')}" }`).join(', ')}, { name = "white", formula = "10" } ]`,
    '[[fixture]]', 'name = "heads"', 'universe = 1', 'address = 301', 'count = 4',
    'channels = [ { name = "pan", formula = "25 + 10 * index", width = 16 }, { name = "tilt", formula = "100" },',
    '             { name = "dimmer", formula = "100" }, { name = "red", formula = "0" }, { name = "green", formula = "100" },',
    '             { name = "blue", formula = "0" } ]', '',
  ].join('\n'));
  return file;
}

// The direction (degrees, clockwise from the right) in which a moving head's green beam leaves
// it, read from the canvas on a circle around the head; null when no beam crosses it.
function beamAngle(page, fixture, index) {
  return page.evaluate(([name, which]) => {
    const centre = showPane.rig.centreOf(name, which);
    const canvas = document.getElementById('rig');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const radius = centre.radius * 1.2;
    let x = 0;
    let y = 0;
    for (let degree = 0; degree < 360; ++degree) {
      const px = Math.round(centre.x + radius * Math.cos(degree * Math.PI / 180));
      const py = Math.round(centre.y + radius * Math.sin(degree * Math.PI / 180));
      const i = (py * canvas.width + px) * 4;
      if (data[i + 1] > 60 && data[i + 1] > data[i] + 30 && data[i + 1] > data[i + 2] + 30) {
        x += Math.cos(degree * Math.PI / 180);
        y += Math.sin(degree * Math.PI / 180);
      }
    }
    return x || y ? (Math.atan2(y, x) * 180 / Math.PI + 360) % 360 : null;
  }, [fixture, index]);
}

// Degrees between two directions, 0 to 180.
const turn = (a, b) => Math.abs(((a - b) % 360 + 540) % 360 - 180);

tests.RigDrawsPixelsWhereTheShowPlacesThem = async () => {
  // A 4 × 3 grid, serpentine: its sixth pixel (index 5) is the third of the second row counted
  // from the left, as the second row runs back. It alone is red with white mixed in; the others
  // are dim blue; the dimmer dims them all.
  const show = path.join(scratch, 'wall.toml');
  fs.writeFileSync(show, [
    '[[output]]', 'universe = 1', 'protocol = "sacn"', 'address = "127.0.0.1"',
    '[[fixture]]', 'name = "wall"', 'universe = 1', 'address = 1', 'layout = { grid = [4, 3], serpentine = true }',
    'channels = [ { name = "dimmer", formula = "80" }, { name = "red", formula = "(index == 5) / 2" },',
    '             { name = "green", formula = "0" }, { name = "blue", formula = "(index != 5) * 0.4" },',
    '             { name = "white", formula = "(index == 5) / 5" } ]', '',
  ].join('\n'));
  const slots = zrsignal(['run', show, '--print', 'csv', '--clock', 'sim', '--frames', '1']).trim().split('\n')[1]
    .split(',').slice(2).map(Number);
  const [dimmer, red, green, blue, white] = slots.slice(5 * 5, 5 * 5 + 5);
  const expected = [red + white, green + white, blue + white].map((c) => Math.round(Math.min(255, c) * dimmer / 255));
  const server = await startServer([show]);
  try {
    await withPage(server.url, async (page) => {
      await rigDrawn(page);
      const drawn = await page.evaluate(() => {
        const canvas = document.getElementById('rig');
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const box = { left: Infinity, top: Infinity, right: -Infinity, bottom: -Infinity };
        let lit = { x: 0, y: 0, count: 0 };
        for (let y = 0; y < canvas.height; ++y) {
          for (let x = 0; x < canvas.width; ++x) {
            const i = (y * canvas.width + x) * 4;
            const [r, g, b] = [data[i], data[i + 1], data[i + 2]];
            const dimBlue = b > 30 && r < 10 && g < 10;
            const reddish = r > 100 && r > g + 60;
            if (!dimBlue && !reddish) continue;
            Object.assign(box, { left: Math.min(box.left, x), top: Math.min(box.top, y),
                                 right: Math.max(box.right, x + 1), bottom: Math.max(box.bottom, y + 1) });
            if (reddish) lit = { x: lit.x + x, y: lit.y + y, count: lit.count + 1 };
          }
        }
        const at = { x: Math.floor(lit.x / lit.count), y: Math.floor(lit.y / lit.count) };
        const i = (at.y * canvas.width + at.x) * 4;
        return { box, at, count: lit.count, colour: [data[i], data[i + 1], data[i + 2]] };
      });
      const { box, at } = drawn;
      assert.ok(drawn.count > 0, 'the red pixel is drawn');
      const column = Math.floor((at.x - box.left) / ((box.right - box.left) / 4));
      const row = Math.floor((at.y - box.top) / ((box.bottom - box.top) / 3));
      assert.deepEqual([column, row], [2, 1], `the sixth pixel of the serpentine grid, drawn at ${JSON.stringify(drawn)}`);
      for (let c = 0; c < 3; ++c) assert.ok(Math.abs(drawn.colour[c] - expected[c]) <= 1, `colour ${drawn.colour}, not ${expected}`);

      // Hovering it lists its channels with the values run sends.
      const canvasBox = await page.locator('#rig').boundingBox();
      await page.mouse.move(canvasBox.x + at.x, canvasBox.y + at.y);
      // The tip follows the pointer on the page's next turn, later on a busy machine.
      const want = `wall 6\ndimmer ${dimmer}\nred ${red}\ngreen ${green}\nblue ${blue}\nwhite ${white}`;
      await page.waitForFunction((text) => document.getElementById('rig-tip').textContent === text, want,
                                 { timeout: 5000 }).catch(() => {});
      assert.equal(await page.locator('#rig-tip').textContent(), want);
    });
  } finally {
    await server.stop();
  }
};

tests.MovingHeadBeamTurnsWithPan = async () => {
  const FRAMES = 600;
  const server = await startServer([clubShow(), '--clock', 'sim', '--frames', String(FRAMES)]);
  try {
    await withPage(server.url, async (page) => {
      await rigDrawn(page);
      // Pan at a quarter of its range: 135° of a 540° pan left of straight down the view.
      const before = await beamAngle(page, 'heads', 0);
      assert.ok(before !== null && turn(before, 315) < 8, `the beam leaves at ${before}°, not 315°`);
      const answer = await page.evaluate(() => post('/api/show/edit', [['address', '/zr/formula/heads/0/pan'], ['formula', '50']]));
      assert.deepEqual(answer, { ok: true });
      let after = null;
      const until = Date.now() + WAIT_MS;
      while (Date.now() < until) {
        after = await beamAngle(page, 'heads', 0);
        if (after !== null && turn(after, 90) < 8) break;
        await page.waitForTimeout(100);
      }
      assert.ok(after !== null && turn(after, 90) < 8, `after pan 50 the beam leaves at ${after}°, not 90° (down)`);
      assert.ok(turn(await beamAngle(page, 'heads', 1), 9) < 8, 'the other heads keep their pan');

      // The picture of the rig on the show's last frame, so that it changes only when the page does.
      await page.locator('#show-state', { hasText: 'has run its frames' }).waitFor({ timeout: FRAMES / 40 * 1000 * 4 + WAIT_MS });
      await page.waitForFunction((last) => Number(document.getElementById('rig').dataset.frame) === last, FRAMES - 1);
      await screenshot(page.locator('#rig-view'), 'studio-rig.png');
    });
  } finally {
    await server.stop();
  }
};

tests.RigWorksOnATabletScreen = async () => {
  const server = await startServer([clubShow()]);
  try {
    await withPage(server.url, async (page) => {
      await rigDrawn(page);
      // One column, nothing wider than the screen.
      const fits = await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth);
      assert.ok(fits, 'no sideways scrolling');
      const formulas = await page.locator('#formula-pane').boundingBox();
      const catalogue = await page.locator('#catalogue-pane').boundingBox();
      assert.ok(catalogue.y >= formulas.y + formulas.height, 'the panes are stacked');

      // A tap on a par lists its channels; two fingers spreading apart zoom in about them.
      const cdp = await page.context().newCDPSession(page);
      const canvas = await page.locator('#rig').boundingBox();
      const par = await page.evaluate(() => showPane.rig.centreOf('pars', 3));
      const touch = (type, points) => cdp.send('Input.dispatchTouchEvent', {
        type, touchPoints: points.map(([x, y], id) => ({ x: canvas.x + x, y: canvas.y + y, id })) });
      await touch('touchStart', [[par.x, par.y]]);
      await touch('touchEnd', []);
      await page.locator('#rig-tip', { hasText: 'pars 4' }).waitFor();
      const zoom = await page.evaluate(() => showPane.rig.zoom);
      await touch('touchStart', [[par.x - 20, par.y], [par.x + 20, par.y]]);
      for (let step = 1; step <= 5; ++step) await touch('touchMove', [[par.x - 20 - 8 * step, par.y], [par.x + 20 + 8 * step, par.y]]);
      await touch('touchEnd', []);
      const zoomed = await page.evaluate(() => showPane.rig.zoom);
      assert.ok(zoomed > zoom * 1.5, `pinching out zooms in: ${zoom} to ${zoomed}`);
      const moved = await page.evaluate(() => showPane.rig.centreOf('pars', 3));
      assert.ok(Math.hypot(moved.x - par.x, moved.y - par.y) < 20, 'the par stays under the fingers');
    }, { viewport: { width: 768, height: 1024 }, hasTouch: true, isMobile: true });
  } finally {
    await server.stop();
  }
};

tests.CurvesHaveReadableAxes = async () => {
  const server = await startServer([]);
  try {
    await withPage(server.url, async (page) => {
      const formula = '50 + 50 * __sin(0.15)';
      await typeFormula(page, 0, formula);
      const curve = await curveOf(page, formula, 200);
      const values = evalValues(['--frames', '200', formula]);
      // 200 frames at 40 fps: a second every 40 frames, the last frame at 4.975 s.
      const times = await page.locator('#chart-times .tick').evaluateAll((ticks) => ticks.map((t) => [t.textContent, parseFloat(t.style.left)]));
      assert.deepEqual(times.map(([text]) => text), ['0 s', '1 s', '2 s', '3 s', '4 s']);
      times.forEach(([, left], s) => assert.ok(Math.abs(left - s * 40 / 199 * 100) < 0.01, `${s} s at ${left} %`));
      // Round values, evenly apart, each where the curve's scale puts it.
      const ticks = await page.locator('#chart-values .tick').evaluateAll((all) => all.map((t) => [t.textContent, parseFloat(t.style.top)]));
      assert.ok(ticks.length >= 3 && ticks.length <= 8, `${ticks.length} value ticks`);
      const steps = new Set(ticks.slice(1).map(([text], i) => Number(text) - Number(ticks[i][0])));
      assert.equal(steps.size, 1, `evenly apart: ${ticks.map(([t]) => t)}`);
      for (const [text, top] of ticks) {
        assert.match(text, /^-?\d+(\.\d{1,3})?$/, 'a round number');
        const value = Number(text);
        assert.ok(value >= curve.low && value <= curve.high, `${value} within the curve's range`);
        assert.ok(Math.abs(top - (5 + (curve.high - value) / (curve.high - curve.low) * 90)) < 0.01, `${value} at ${top} %`);
      }
      // Numbers to a tenth on a curve from 0 to 100.
      const caption = (await page.textContent('#chart-caption')).match(/values from (\S+) to (\S+)$/);
      assert.ok(caption, 'the caption gives the range');
      const [low, high] = [Math.min(...values), Math.max(...values)];
      for (const [shown, exact] of [[caption[1], low], [caption[2], high]]) {
        assert.match(shown, /^-?\d+(\.\d)?$/);
        assert.ok(Math.abs(Number(shown) - exact) <= 0.05, `${shown} for ${exact}`);
      }

      // The cursor's frame, time and value, rounded as the ticks are.
      const box = await page.locator('#chart').boundingBox();
      await page.mouse.move(box.x + box.width * 80 / 199, box.y + box.height / 2);
      await page.locator('#chart-cursor[data-frame="80"]').waitFor();
      const cursor = (await page.textContent('#chart-cursor')).match(/^frame 80 · 2 s · (-?\d+(\.\d)?)$/);
      assert.ok(cursor, 'frame, seconds and value');
      assert.ok(Math.abs(Number(cursor[1]) - values[80]) <= 0.05, `${cursor[1]} for ${values[80]}`);
    });
  } finally {
    await server.stop();
  }
};

// Not a check of speed (nothing here is timed against a bound): the numbers for the notes of
// the 51,000-channel pixel show, 100 universes of 170 RGB pixels as bench/PixelShow.cpp makes it.
tests.RigDrawsAPixelShowOfFiftyThousandChannels = async () => {
  const universes = 100;
  const lines = ['fps = 40', '[variables]', 'hue = 0', 'speed = 1', 'master = 100', ''];
  for (let u = 1; u <= universes; ++u) lines.push('[[output]]', `universe = ${u}`, 'protocol = "sacn"', 'address = "127.0.0.1"', '');
  for (let u = 1; u <= universes; ++u) {
    const place = `((${(u - 1) * 170} + index) / ${universes * 170})`;
    lines.push('[[fixture]]', `name = "strip${u}"`, `universe = ${u}`, 'address = 1', 'count = 170', 'channels = [');
    for (const colour of ['red', 'green', 'blue']) {
      lines.push(`  { name = "${colour}", formula = "rgb.${colour}.hsi((hue + 100 * ${place} + 100 * speed * timer(0)) % 100, 100, master / 2)" },`);
    }
    lines.push(']', '');
  }
  const show = path.join(scratch, 'pixels.toml');
  fs.writeFileSync(show, lines.join('\n'));
  const server = await startServer([show]);
  try {
    await withPage(server.url, async (page) => {
      await rigDrawn(page);
      const layoutBytes = await page.evaluate(async () => (await (await fetch('/api/show')).arrayBuffer()).byteLength);
      const firstFrameMs = await page.evaluate(() => showPane.rig.firstDrawnAt);
      // The time each drawing takes, summed.
      await page.evaluate(() => {
        const rig = showPane.rig;
        const draw = rig.draw.bind(rig);
        rig.drawingMs = 0;
        rig.draw = () => { const start = performance.now(); draw(); rig.drawingMs += performance.now() - start; };
      });
      const counts = () => page.evaluate(() => ({ drawn: showPane.rig.drawn, frame: showPane.latest.frame, at: performance.now(),
                                                  drawingMs: showPane.rig.drawingMs }));
      const start = await counts();
      await page.waitForTimeout(10000);
      const end = await counts();
      const seconds = (end.at - start.at) / 1000;
      console.log(`pixel show of ${universes * 510} channels: layout ${layoutBytes} bytes; first frame drawn ` +
                  `${Math.round(firstFrameMs)} ms after navigation; ${((end.drawn - start.drawn) / seconds).toFixed(1)} ` +
                  `frames drawn a second (${((end.drawingMs - start.drawingMs) / (end.drawn - start.drawn)).toFixed(1)} ms ` +
                  `each), ${((end.frame - start.frame) / seconds).toFixed(1)} frames of the show a second`);
      assert.ok(end.drawn > start.drawn, 'the rig is drawn while the show runs');
      // The last pixel of the last strip is drawn, in colour.
      const last = await page.evaluate(() => {
        const centre = showPane.rig.centreOf('strip100', 169);
        const pixel = document.getElementById('rig').getContext('2d').getImageData(Math.floor(centre.x), Math.floor(centre.y), 1, 1).data;
        return [...pixel.slice(0, 3)];
      });
      assert.ok(Math.max(...last) > 40, `the last pixel is lit: ${last}`);
    });
  } finally {
    await server.stop();
  }
};

const name = process.argv[2];
if (!tests[name]) {
  console.error(`unknown test '${name}'; the tests: ${Object.keys(tests).join(', ')}`);
  process.exit(2);
}
try {
  await tests[name]();
  console.log(`PASSED: ${name}`);
} catch (failure) {
  if (failure instanceof Skipped) {
    console.log(`SKIPPED: ${name}: ${failure.message}`);
    process.exitCode = 77;
  } else {
    console.error(`FAILED: ${name}\n`, failure);
    process.exitCode = 1;
  }
} finally {
  fs.rmSync(scratch, { recursive: true, force: true });
}
