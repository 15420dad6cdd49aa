// The page's side: the list of chosen files, the options, and one worker that
// converts the files in turn, so that the page stays responsive.
function startPage(workerFunction) {
    const $ = function (id) { return document.getElementById(id); };
    const files = [];        // {file, row, blob, url, state}
    let worker = null;
    let running = null;      // {queue, current, abortRequested, lastProgress}
    let nextId = 1;

    function workerScript() {
        // Opened from disk the page has no origin a worker file could be
        // loaded from, so the worker is started from this script's own code.
        const code = '(' + workerFunction.toString() + ')(self);';
        return URL.createObjectURL(new Blob([code], { type: 'text/javascript' }));
    }

    function ensureWorker() {
        if (!worker) {
            worker = new Worker(workerScript());
            worker.onmessage = onWorkerMessage;
        }
        return worker;
    }

    function options() {
        return { fourBit: $('fourBit').checked,
                 placement: document.querySelector('input[name=placement]:checked').value };
    }

    function cell(row, name) { return row.querySelector('td.' + name); }

    function addFiles(list) {
        for (const file of list) {
            const known = files.findIndex(function (entry) { return entry.file.name === file.name; });
            if (known >= 0) {
                releaseOutput(files[known]);
                files[known].row.remove();
                files.splice(known, 1);
            }
            const row = document.createElement('tr');
            row.innerHTML = '<td class="name"></td><td class="progress"></td><td class="result"></td>';
            cell(row, 'name').textContent = file.name;
            $('files').appendChild(row);
            files.push({ file: file, row: row, blob: null, url: null });
        }
        $('empty').hidden = files.length > 0;
    }

    function releaseOutput(entry) {
        if (entry.url)
            URL.revokeObjectURL(entry.url);
        entry.blob = null;
        entry.url = null;
    }

    function setControls(busy) {
        for (const id of ['convert', 'clear', 'choose', 'fourBit'])
            $(id).disabled = busy;
        $('abort').disabled = !busy;
        $('downloadAll').disabled = busy || !files.some(function (entry) { return entry.blob; });
    }

    function appendError(line) {
        $('errors').textContent += ($('errors').textContent ? '\n' : '') + line;
    }

    function showCount(done) {
        $('count').textContent = done + ' of ' + running.total + ' files';
    }

    function convertAll() {
        if (files.length === 0) {
            alert('No files in the list. Choose or drop some BMP files first.');
            return;
        }
        $('errors').textContent = '';
        for (const entry of files) {
            releaseOutput(entry);
            cell(entry.row, 'progress').textContent = '';
            cell(entry.row, 'result').textContent = '';
        }
        running = { queue: files.slice(), total: files.length, done: 0, current: null, abortRequested: false };
        setControls(true);
        startNext();
    }

    function startNext() {
        if (running.abortRequested || running.queue.length === 0) {
            finish();
            return;
        }
        const entry = running.queue.shift();
        running.current = { entry: entry, id: nextId++, lastProgress: '0 %' };
        cell(entry.row, 'progress').textContent = '0 %';
        // The options are read as each file starts, as the window reads them.
        ensureWorker().postMessage({ id: running.current.id, file: entry.file, options: options() });
    }

    function onWorkerMessage(event) {
        const message = event.data;
        if (!running || !running.current || message.id !== running.current.id)
            return;
        const entry = running.current.entry;
        if (message.progress !== undefined) {
            running.current.lastProgress = message.progress;
            cell(entry.row, 'progress').textContent = message.progress;
            return;
        }
        fileDone(entry, message);
    }

    function fileDone(entry, message) {
        // The worker's figures for the last file, which the benchmark reads.
        window.lastWorkerReport = { milliseconds: message.milliseconds, memoryBytes: message.memoryBytes,
                                    outputBytes: message.blob ? message.blob.size : 0 };
        const result = cell(entry.row, 'result');
        result.textContent = '';
        if (message.error !== undefined) {
            const line = document.createElement('span');
            line.className = 'error';
            line.textContent = message.error;
            result.appendChild(line);
            appendError(message.error);
        } else {
            entry.blob = message.blob;
            entry.url = URL.createObjectURL(message.blob);
            const link = document.createElement('a');
            link.href = entry.url;
            link.download = entry.file.name;
            link.textContent = entry.file.name;
            const about = document.createElement('small');
            about.textContent = message.colours + ' colours, ' + message.bits + '-bit';
            result.append(link, about);
        }
        running.current = null;
        showCount(++running.done);
        startNext();
    }

    // Abort, as in the window: a file still being read stops at once with
    // "Aborted by user"; a file already past its reading is finished; no
    // further file starts.
    function abort() {
        if (!running)
            return;
        running.abortRequested = true;
        const current = running.current;
        if (current && /^\d+ %$/.test(current.lastProgress) && current.lastProgress !== '100 %') {
            worker.terminate();
            worker = null;
            fileDone(current.entry, { error: 'Aborted by user - ' + current.entry.file.name });
        }
    }

    function finish() {
        for (const entry of running.queue)
            cell(entry.row, 'result').textContent = 'not converted';
        running = null;
        setControls(false);
    }

    function downloadAll() {
        const ready = files.filter(function (entry) { return entry.blob; });
        Promise.all(ready.map(function (entry) { return entry.blob.arrayBuffer(); })).then(function (buffers) {
            const contents = {};
            ready.forEach(function (entry, i) { contents[entry.file.name] = new Uint8Array(buffers[i]); });
            const zip = fflate.zipSync(contents, { level: 6 });
            const link = document.createElement('a');
            link.href = URL.createObjectURL(new Blob([zip], { type: 'application/zip' }));
            link.download = 'converted-bmp.zip';
            document.body.appendChild(link);
            link.click();
            link.remove();
        });
    }

    $('choose').addEventListener('change', function () {
        addFiles($('choose').files);
        $('choose').value = '';
        setControls(false);
    });
    const drop = $('drop');
    drop.addEventListener('dragover', function (event) {
        event.preventDefault();
        drop.classList.add('over');
    });
    drop.addEventListener('dragleave', function () { drop.classList.remove('over'); });
    drop.addEventListener('drop', function (event) {
        event.preventDefault();
        drop.classList.remove('over');
        if (!running) {
            addFiles(event.dataTransfer.files);
            setControls(false);
        }
    });
    $('convert').addEventListener('click', convertAll);
    $('abort').addEventListener('click', abort);
    $('downloadAll').addEventListener('click', downloadAll);
    $('clear').addEventListener('click', function () {
        for (const entry of files.splice(0)) {
            releaseOutput(entry);
            entry.row.remove();
        }
        $('empty').hidden = false;
        $('errors').textContent = '';
        $('count').textContent = '';
        setControls(false);
    });
    // Starting the worker now compiles the engine while the user picks files.
    ensureWorker();
}
