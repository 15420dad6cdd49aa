// The worker's side: converts the files the page sends, one after another,
// with the engine compiled to WebAssembly, and sends back progress, the output
// (as a Blob) or the error line. Also loaded by the tests under node, where
// convertSource() is called directly.

// Converts one source. `readAt(position, count)` gives a Uint8Array of at most
// `count` bytes from `position` (fewer at the end), or null when the source
// cannot be read. Returns {parts, colours, bits} or {error}.
function convertSource(engine, name, size, readAt, options, onProgress) {
    engine['readSource'] = function (position, to, count) {
        const bytes = readAt(position, count);
        if (bytes === null)
            return -1;
        engine.HEAPU8.set(bytes, to);
        return bytes.length;
    };
    engine['onProgress'] = onProgress || function () {};
    const placement = { none: 0, dos: 1, boot: 2 }[options.placement];
    const ready = engine.ccall('convert', 'number', ['string', 'number', 'number', 'number'],
                               [name, size, options.fourBit ? 1 : 0, placement]);
    if (!ready)
        return { error: engine.UTF8ToString(engine._error_line()) };
    const colours = engine._colour_count();
    const bits = engine._bits_per_pixel();
    const parts = [];
    const sizeAt = engine._malloc(4);
    for (;;) {
        const at = engine._next_part(sizeAt);
        const length = engine.HEAP32[sizeAt >> 2];
        if (length === 0)
            break;
        parts.push(engine.HEAPU8.slice(at, at + length));
    }
    engine._free(sizeAt);
    return { parts: parts, colours: colours, bits: bits };
}

// Reads a File in large slices, so that the engine's small reads cost no
// round trip each; only one slice is held at a time.
function fileReader(file) {
    const sliceBytes = 8 * 1024 * 1024;
    const reader = new FileReaderSync();
    let start = 0;
    let slice = new Uint8Array(0);
    return function (position, count) {
        try {
            if (position < start || position + count > start + slice.length) {
                start = position;
                const end = Math.min(file.size, position + Math.max(count, sliceBytes));
                slice = new Uint8Array(reader.readAsArrayBuffer(file.slice(start, end)));
            }
            const from = position - start;
            return slice.subarray(from, Math.min(slice.length, from + count));
        } catch (error) {
            return null;
        }
    };
}

function startWorker(scope, createEngine) {
    const engineReady = createEngine();
    scope.onmessage = function (event) {
        const job = event.data;   // {id, file, options}
        engineReady.then(function (engine) {
            const started = performance.now();
            const result = convertSource(engine, job.file.name, job.file.size, fileReader(job.file), job.options,
                                         function (text) { scope.postMessage({ id: job.id, progress: text }); });
            const message = { id: job.id, done: true, milliseconds: performance.now() - started,
                              memoryBytes: engine.HEAPU8.length };
            if (result.error !== undefined)
                message.error = result.error;
            else {
                message.blob = new Blob(result.parts, { type: 'image/bmp' });
                message.colours = result.colours;
                message.bits = result.bits;
            }
            scope.postMessage(message);
        });
    };
}
