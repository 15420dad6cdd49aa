// The zip worker's side: packs the outputs the page sends into one zip,
// streamed, compressed at the fastest level (BMP compresses well even so, and
// the time stays near the disk's), with its progress sent back now and then.
// The page cancels it by ending the worker.
function startZipWorker(scope, fflate) {
    const kChunk = 4 * 1024 * 1024;
    scope.onmessage = function (event) {
        const files = event.data.files;   // [{name, blob}]
        const total = files.reduce(function (sum, file) { return sum + file.blob.size; }, 0);
        const parts = [];
        let failure = null;
        const zip = new fflate.Zip(function (error, data) {
            if (error)
                failure = failure || error;
            else
                parts.push(data);
        });
        const reader = new FileReaderSync();
        let done = 0;
        let told = performance.now();
        try {
            for (const file of files) {
                const entry = new fflate.ZipDeflate(file.name, { level: 1 });
                zip.add(entry);
                if (file.blob.size === 0)
                    entry.push(new Uint8Array(0), true);
                for (let at = 0; at < file.blob.size; at += kChunk) {
                    const bytes = new Uint8Array(reader.readAsArrayBuffer(file.blob.slice(at, at + kChunk)));
                    entry.push(bytes, at + kChunk >= file.blob.size);
                    done += bytes.length;
                    if (performance.now() - told >= 100) {
                        told = performance.now();
                        scope.postMessage({ progress: total > 0 ? done / total : 1 });
                    }
                }
            }
            zip.end();
        } catch (error) {
            failure = failure || error;
        }
        if (failure)
            scope.postMessage({ error: String(failure.message || failure) });
        else
            scope.postMessage({ zip: new Blob(parts, { type: 'application/zip' }) });
    };
}
