// The page in headless Chromium (Debian's, driven by puppeteer-core): the bunny drawn as native kvhlr
// draws it, a STEP part without facet lines, a big drawing cancelled, a broken file
// refused. Screenshots go to build-web/screenshots/. KVHLR names the native kvhlr to compare with.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import puppeteer from 'puppeteer-core';

import { assertSameLines } from '../../package/test/sameLines.js';
import { sphereStl } from './sphere.js';

const root = new URL('../../../', import.meta.url).pathname;
const kvhlr = process.env.KVHLR ?? join(root, 'build/cli/kvhlr');
const work = mkdtempSync(join(tmpdir(), 'kvhlr-page-'));
const shots = join(root, 'build-web/screenshots');
const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.wasm': 'application/wasm' };

// The page at /, the example models at /models/, this run's files at /work/.
const folders = { '/models/': join(root, 'examples/models'), '/work/': work, '/': join(root, 'build-web/page') };
const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const [prefix, folder] = Object.entries(folders).find(([p]) => path.startsWith(p));
    const file = normalize(join(folder, path.slice(prefix.length) || 'index.html'));
    try {
        const body = readFileSync(file);
        response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
        response.end(body);
    } catch {
        response.writeHead(404).end();
    }
});

let browser, base;
before(async () => {
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    base = `http://127.0.0.1:${server.address().port}`;
    browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'] });
    mkdirSync(shots, { recursive: true });
});
after(async () => {
    await browser?.close();
    server.close();
});

// Opens the page at `query` and waits until its drawing is done, cancelled or refused.
async function open(query, { wait = true } = {}) {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 700 });
    await page.goto(`${base}/index.html?${query}`);
    if (wait) await page.waitForFunction(() => ['done', 'error', 'cancelled'].includes(document.body.dataset.state), { timeout: 120000 });
    return page;
}
const stateOf = (page) => page.evaluate(() => [document.body.dataset.state, document.getElementById('message').textContent]);

test('the bunny draws as native kvhlr draws it, hidden lines too', async () => {
    for (const [model, view, up] of [['bunny', 'iso', 'y']]) {
        const page = await open(`model=/models/${model}.obj&view=${view}&hidden=1`);
        assert.deepEqual((await stateOf(page))[0], 'done', (await stateOf(page))[1]);
        const drawn = JSON.parse(await page.evaluate(() => window.lastDrawing.toJSON()));
        execFileSync(kvhlr, [join(root, `examples/models/${model}.obj`), '--quiet', '--view', view, '--up-axis', up,
            '--hidden', '-o', join(work, `${model}.json`)]);
        assertSameLines(drawn, JSON.parse(readFileSync(join(work, `${model}.json`), 'utf8')));
        assert.match(await page.$eval('#drawing', (e) => e.innerHTML), /^<\?xml|<svg/);
        await page.screenshot({ path: join(shots, `${model}.png`) });
        await page.close();
    }
});

test('a STEP part draws its B-rep edges, not its facets', async () => {
    const page = await open('model=/models/bracket.step&view=iso&hidden=0');
    const [state, message] = await stateOf(page);
    assert.equal(state, 'done', message);
    const lines = await page.evaluate(() => window.lastDrawing.lines.length);
    execFileSync(kvhlr, [join(root, 'examples/models/bracket.step'), '--quiet', '--view', 'iso', '-o', join(work, 'bracket.json')]);
    const native = JSON.parse(readFileSync(join(work, 'bracket.json'), 'utf8')).lines.length;
    // Another tessellation splits lines elsewhere, but facet or seam lines would come by the hundred.
    assert.ok(lines <= 1.5 * native + 5, `${lines} lines against native ${native}`);
    await page.screenshot({ path: join(shots, 'bracket.png') });
    await page.close();
});

test('a big drawing is cancelled, and a broken file is refused with its line named', async () => {
    writeFileSync(join(work, 'sphere.stl'), sphereStl(400000));
    const page = await open('model=/work/sphere.stl&view=iso&hidden=1', { wait: false });
    await page.waitForFunction(() => document.body.dataset.state === 'drawing' &&
        document.getElementById('progress').value > 0, { timeout: 60000 });
    const started = Date.now();
    await page.click('#cancel');
    await page.waitForFunction(() => document.body.dataset.state === 'cancelled', { timeout: 5000 });
    assert.ok(Date.now() - started < 2000);
    assert.equal((await stateOf(page))[1], 'drawing cancelled');
    await page.close();

    writeFileSync(join(work, 'broken.obj'), 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 x\n');
    const broken = await open('model=/work/broken.obj');
    const [state, message] = await stateOf(broken);
    assert.equal(state, 'error');
    assert.match(message, /broken\.obj.*line 4/);
    await broken.screenshot({ path: join(shots, 'broken.png') });
    await broken.close();
});
