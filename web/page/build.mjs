// Builds the page into build-web/page/: the page's script bundled with three.js by esbuild, and beside it
// the kelvar-hlr package as it ships (its module finds its .wasm and its worker next to itself, so it is
// served whole, named in the page's import map) and occt-import-js's reader of STEP and IGES files.
import { build } from 'esbuild';
import { cpSync, mkdirSync, rmSync } from 'node:fs';

const here = new URL('.', import.meta.url);
const out = new URL('../../build-web/page/', here);
rmSync(out, { recursive: true, force: true });
mkdirSync(out, { recursive: true });
await build({
    entryPoints: [new URL('src/main.js', here).pathname],
    bundle: true, format: 'esm', minify: true, target: 'es2022',
    external: ['kelvar-hlr', 'kelvar-hlr/three'],
    outfile: new URL('main.js', out).pathname,
});
cpSync(new URL('index.html', here), new URL('index.html', out));
const pkg = new URL('../package/', here);
for (const part of ['lib', 'dist']) cpSync(new URL(part, pkg), new URL(`kelvar-hlr/${part}`, out), { recursive: true });
for (const file of ['occt-import-js.js', 'occt-import-js.wasm'])
    cpSync(new URL(`node_modules/occt-import-js/dist/${file}`, here), new URL(file, out));
