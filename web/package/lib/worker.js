// The Web Worker that index.js draws in: one drawing per worker, kept for its files until the page
// disposes of it. Messages in: {op: 'draw', input, camera, options}, then {op: 'write', id, format}.
// Messages out: {progress}, then {drawn} (its buffers transferred) or {error}; {id, written} or
// {id, failed} for each file.

import { buffersOf, drawWith, loadModule } from './core.js';

// Loaded as the worker starts, before its drawing arrives (index.js's warmUp() starts workers ahead); a
// failure to load is the drawing's error.
const loaded = loadModule();
loaded.catch(() => {});
let sheet;

const errorOf = (error) => ({ message: String(error?.message ?? error), name: error?.name ?? 'Error' });

self.onmessage = async ({ data: message }) => {
    if (message.op === 'draw') {
        try {
            const kelvar = await loaded;
            const progress = (share) => {
                self.postMessage({ progress: share });
                return true; // the page cancels by ending this worker
            };
            const drawn = drawWith(kelvar, message.input, message.camera, message.options, progress);
            sheet = drawn.sheet;
            self.postMessage({ drawn: drawn.data }, buffersOf(drawn.data));
        } catch (error) {
            self.postMessage({ error: errorOf(error) });
        }
    } else if (message.op === 'write') {
        try {
            self.postMessage({ id: message.id, written: sheet.write(message.format) });
        } catch (error) {
            self.postMessage({ id: message.id, failed: errorOf(error) });
        }
    }
};
