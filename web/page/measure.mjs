// Times a drawing on the page in headless Chromium and samples the browser's memory meanwhile:
//   node web/page/measure.mjs MODEL_FILE [QUERY]      (QUERY default: view=iso&hidden=1)
// Prints the page's drawing time (from the file's bytes in the page to its drawing shown) and the largest
// resident memory of all the browser's processes together, sampled every 100 ms.
import { execFileSync } from 'node:child_process';
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { basename, dirname, extname, join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [model, query = 'view=iso&hidden=1'] = process.argv.slice(2);
const page = new URL('../../build-web/page/', import.meta.url).pathname;
const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.startsWith('/model/') ? join(dirname(model), basename(path)) : join(page, path);
    try {
        statSync(file);
        response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
        createReadStream(file).pipe(response);
    } catch {
        response.writeHead(404).end();
    }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'], protocolTimeout: 0 });

// The resident memory of the browser and every process below it, in MB.
function residentMb() {
    const table = execFileSync('ps', ['-eo', 'pid=,ppid=,rss=']).toString().trim().split('\n').map((l) => l.trim().split(/\s+/).map(Number));
    const ours = new Set([browser.process().pid]);
    for (let grew = true; grew;) {
        grew = false;
        for (const [pid, ppid] of table) if (ours.has(ppid) && !ours.has(pid)) grew = ours.add(pid);
    }
    return table.filter(([pid]) => ours.has(pid)).reduce((sum, [, , rss]) => sum + rss, 0) / 1024;
}

let peak = 0;
const sampler = setInterval(() => { peak = Math.max(peak, residentMb()); }, 100);
const tab = await browser.newPage();
await tab.setViewport({ width: 1400, height: 700 });
await tab.goto(`http://127.0.0.1:${server.address().port}/index.html?model=/model/${basename(model)}&${query}`);
await tab.waitForFunction(() => ['done', 'error', 'cancelled'].includes(document.body.dataset.state), { timeout: 0 });
clearInterval(sampler);
const [state, message, seconds] = await tab.evaluate(() => [document.body.dataset.state,
    document.getElementById('message').textContent, document.body.dataset.seconds]);
console.log(JSON.stringify({ model: basename(model), state, message, seconds: Number(seconds), peakMb: Math.round(peak) }));
await browser.close();
server.close();
