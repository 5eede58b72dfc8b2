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
async function withPage(url, test) {
  const profile = fs.mkdtempSync(path.join(scratch, 'profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1400, height: 1000 },
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

const name = process.argv[2];
if (!tests[name]) {
  console.error(`unknown test '${name}'; the tests: ${Object.keys(tests).join(', ')}`);
  process.exit(2);
}
try {
  await tests[name]();
  console.log(`PASSED: ${name}`);
} catch (failure) {
  console.error(`FAILED: ${name}\n`, failure);
  process.exitCode = 1;
} finally {
  fs.rmSync(scratch, { recursive: true, force: true });
}
