// The page in headless Chromium (Debian's, driven by puppeteer-core): the example models drawn as native
// kvhlr draws them, a STEP part without facet lines, a big drawing cancelled, a broken file
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

// The example models as the page reads OBJ files (y up), each in several views: the first from the
// address, the others chosen and drawn again, as a user does.
const models = ['bunny', 'teapots', 'sphere_with_hole', 'regr01_house', 'at_at'];
const views = ['iso', 'front', 'top', 'dimetric'];

test('the example models draw as native kvhlr draws them, hidden lines too', async () => {
    for (const model of models) {
        const page = await open(`model=/models/${model}.obj&view=${views[0]}&hidden=1`);
        for (const view of views) {
            if (view !== views[0]) {
                await page.select('#view', view);
                await page.click('#draw');
                await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state), { timeout: 120000 });
            }
            const [state, message] = await stateOf(page);
            assert.equal(state, 'done', `${model} ${view}: ${message}`);
            const drawn = JSON.parse(await page.evaluate(() => window.lastDrawing.toJSON()));
            const json = join(work, `${model}-${view}.json`);
            execFileSync(kvhlr, [join(root, `examples/models/${model}.obj`), '--quiet', '--view', view, '--up-axis', 'y',
                '--hidden', '-o', json]);
            assertSameLines(drawn, JSON.parse(readFileSync(json, 'utf8')), `${model} ${view}`);
        }
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
    // The view shown is drawn once the view is built, so the page's thread is free when the worker
    // draws. Cancelled and timed inside the page as soon as the drawing starts (the worker, started ahead,
    // has its module loaded; waiting for its first progress report let a quick drawing end first): a
    // loaded machine slows the test's round trips to the browser, which must not count as the cancel's time.
    const page = await open('model=/work/sphere.stl&view=current&hidden=1', { wait: false });
    const [endedAs, progress, milliseconds] = await page.evaluate(() => new Promise((resolve) => {
        const progressBar = document.getElementById('progress');
        const poll = setInterval(() => {
            const state = document.body.dataset.state;
            if (state === 'done' || state === 'error') {
                clearInterval(poll);
                resolve([state, progressBar.value, 0]);
            }
            if (state !== 'drawing') return;
            clearInterval(poll);
            const at = progressBar.value, clicked = performance.now();
            new MutationObserver(() => resolve([document.body.dataset.state, at, performance.now() - clicked]))
                .observe(document.body, { attributes: true, attributeFilter: ['data-state'] });
            document.getElementById('cancel').click();
        }, 5);
    }));
    assert.equal(endedAs, 'cancelled', 'the drawing ended before it could be cancelled');
    assert.ok(progress < 1 && milliseconds < 1000, `cancelled at ${progress} in ${milliseconds} ms`);
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
