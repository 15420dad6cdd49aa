// The worker's side: converts the files the page sends, one after another,
// with the engine compiled to WebAssembly, and sends back progress, the output
// (as a Blob) or the error line. Also loaded by the tests under node, where
// convertSource() is called directly.

// Converts one source. `readAt(position, count)` gives (or promises) a
// Uint8Array of at most `count` bytes from `position` (fewer at the end), or
// null when the source cannot be read; `readAt.buffered`, when there is one,
// gives them at once from what was read already, or undefined. The output's parts, views into the
// engine's memory where they can be, are given to `makeOutput(parts)` before
// that memory is released. Promises {output, colours, bits} or {error}, with
// engineSpent when the engine cannot be used again.
async function convertSource(engine, name, size, readAt, options, onProgress, makeOutput) {
    engine['readSource'] = readAt;
    // What is read already is taken without waiting; a reader that never
    // waits gives everything that way.
    engine['readBuffered'] = readAt.buffered || readAt;
    engine['onProgress'] = onProgress || function () {};
    // The engine stops only where memory could not be had (it is built
    // without exception handling, which costs it speed): the file is then
    // refused as the command line refuses it, with a line asked for now, as
    // the spent engine cannot be asked afterwards.
    const memoryLine = engine.ccall('memory_line', 'string', ['string'], [name]);
    let ready;
    try {
        ready = await engine.ccall('convert', 'number', ['string', 'number', 'number', 'string'],
                                   [name, size, options.fourBit ? 1 : 0, options.placement], { async: true });
    } catch (error) {
        return { error: memoryLine, engineSpent: true };
    }
    if (ready !== 1)
        return { error: engine.UTF8ToString(engine._error_line()), aborted: ready === 2 };
    const result = { colours: engine._colour_count(), bits: engine._bits_per_pixel() };
    const parts = [];
    engine['onPart'] = function (at, length, stays) {
        const bytes = engine.HEAPU8.subarray(at, at + length);
        parts.push(stays ? bytes : bytes.slice());
    };
    engine._write_parts();
    result.output = makeOutput(parts);
    engine._release();
    return result;
}

// Reads a File front to back through two buffers of 8 MiB used again and
// again: while the engine works on one piece, the browser reads the next into
// the other, so that reading costs no round trip per small read, no new memory
// per piece, and little waiting. A read before the present piece starts the
// file again there.
function fileReader(file) {
    const pieceSize = 8 * 1024 * 1024;
    let reader = null;
    let byteStream = true;
    let start = 0;
    let piece = new Uint8Array(0);
    let spare = null;      // the buffer free for the next read
    let coming = null;     // the read under way
    function readInto(buffer) {
        return byteStream ? reader.read(new Uint8Array(buffer)) : reader.read();
    }
    function startAt(position) {
        if (reader)
            reader.cancel();
        const stream = file.slice(position).stream();
        try {
            reader = stream.getReader({ mode: 'byob' });
        } catch (error) {
            reader = stream.getReader();   // a browser without byte streams
            byteStream = false;
        }
        start = position;
        piece = new Uint8Array(0);
        spare = new ArrayBuffer(pieceSize);
        coming = readInto(new ArrayBuffer(pieceSize));
    }
    // Up to `count` bytes of the present piece from `position` on.
    function fromPiece(position, count) {
        return piece.subarray(position - start, Math.min(piece.length, position - start + count));
    }
    const read = async function (position, count) {
        try {
            if (!reader || position < start)
                startAt(position);
            while (position >= start + piece.length) {
                const { done, value } = await coming;
                if (done)
                    return new Uint8Array(0);
                start += piece.length;
                // The piece just used up lends its buffer to the read after next.
                const free = piece.length > 0 && byteStream ? piece.buffer : spare || new ArrayBuffer(pieceSize);
                spare = null;
                piece = value;
                coming = readInto(free);
            }
            return fromPiece(position, count);
        } catch (error) {
            return null;
        }
    };
    read.buffered = function (position, count) {
        if (!reader || position < start || position >= start + piece.length)
            return undefined;
        return fromPiece(position, count);
    };
    return read;
}

// A picture of `width` x `height` with many colours in short runs, for
// warming the engine up.
function warmUpPicture(width, height) {
    const rowBytes = Math.ceil((3 * width) / 4) * 4;
    const bytes = new Uint8Array(54 + rowBytes * height);
    const view = new DataView(bytes.buffer);
    bytes[0] = 0x42;
    bytes[1] = 0x4D;
    view.setUint32(10, 54, true);
    view.setUint32(14, 40, true);
    view.setInt32(18, width, true);
    view.setInt32(22, height, true);
    view.setUint16(26, 1, true);
    view.setUint16(28, 24, true);
    for (let row = 0; row < height; ++row)
        for (let x = 0; x < width; ++x)
            bytes[54 + row * rowBytes + 3 * x] = (x >> (row & 4)) * 7 % 200;
    return bytes;
}

// Converts a picture in memory once, so that the browser has compiled the
// engine's busy parts at full speed before the first real file arrives.
async function warmUp(engine) {
    const picture = warmUpPicture(1024, 512);
    await convertSource(engine, '', picture.length, function (at, count) { return picture.subarray(at, at + count); },
                        { fourBit: true, placement: 'boot' }, null, function () { return null; });
    return engine;
}

// The size to convert a chosen file as: -1, which the engine cannot open,
// for a file removed from disk since it was chosen. The browser then shows it
// as empty, and only reading the whole file tells it from an empty one.
async function sizeOf(file) {
    if (file.size > 0)
        return file.size;
    try {
        await file.arrayBuffer();
        return 0;
    } catch (error) {
        return -1;
    }
}

function startWorker(scope, createEngine) {
    let engineReady = createEngine().then(warmUp);
    let converting = null;   // the id of the file being converted, and its engine
    let abortFor = null;     // the id of the file the page asked to stop
    scope.onmessage = function (event) {
        const job = event.data;   // {id, file, options}, or {abort: id}
        if (job.abort !== undefined) {
            // The engine asks after every row it reads; a file past its
            // reading is finished.
            abortFor = job.abort;
            if (converting && converting.id === abortFor)
                converting.engine['abortRequested'] = true;
            return;
        }
        engineReady.then(async function (engine) {
            converting = { id: job.id, engine: engine };
            engine['abortRequested'] = abortFor === job.id;
            const started = performance.now();
            const result = await convertSource(engine, job.file.name, await sizeOf(job.file), fileReader(job.file), job.options,
                                               function (progress) { scope.postMessage({ id: job.id, progress: progress }); },
                                               function (parts) { return new Blob(parts, { type: 'image/bmp' }); });
            converting = null;
            const message = { id: job.id, done: true, milliseconds: performance.now() - started,
                              memoryBytes: engine.HEAPU8.length };
            if (result.engineSpent)
                engineReady = createEngine().then(warmUp);
            if (result.error !== undefined) {
                message.error = result.error;
                message.aborted = result.aborted;
            } else {
                message.blob = result.output;
                message.colours = result.colours;
                message.bits = result.bits;
            }
            scope.postMessage(message);
        });
    };
}
