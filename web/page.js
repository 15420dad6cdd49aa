// The page's side: the list of chosen files, the options, and one worker that
// converts the files in turn, so that the page stays responsive.
function startPage(workerFunction) {
    const $ = function (id) { return document.getElementById(id); };
    const files = [];        // {file, label, row, blob, url}
    let worker = null;
    let running = null;      // {queue, total, done, converted, refused, current, abortRequested}
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

    // The name a file is shown under: its own, with its position among the
    // files of the same name after the first ("same.bmp (2)").
    function labelOf(name) {
        const same = files.filter(function (entry) { return entry.file.name === name; }).length;
        return same === 0 ? name : name + ' (' + (same + 1) + ')';
    }

    // The name an output takes in the zip: the source's, with the same
    // position before the extension ("same (2).bmp").
    function zipName(entry) {
        const name = entry.file.name;
        if (entry.label === name)
            return name;
        const number = entry.label.slice(name.length);   // " (2)"
        const dot = name.lastIndexOf('.');
        return dot > 0 ? name.slice(0, dot) + number + name.slice(dot) : name + number;
    }

    // Adds files to the list; during a run they wait for the next one.
    function addFiles(list) {
        let added = 0;
        for (const file of list) {
            const row = document.createElement('tr');
            row.innerHTML = '<td class="name"></td><td class="progress"></td><td class="result"></td>';
            const entry = { file: file, label: labelOf(file.name), row: row, blob: null, url: null };
            cell(row, 'name').textContent = entry.label;
            if (running)
                cell(row, 'progress').textContent = 'next run';
            $('files').appendChild(row);
            files.push(entry);
            ++added;
        }
        $('empty').hidden = files.length > 0;
        if (running && added > 0)
            say(added + (added === 1 ? ' file was' : ' files were') + ' added during the run; "Convert ALL files" converts them next time.');
    }

    // The files of a chosen folder that the window would list: its own BMP
    // files, not those of its subfolders.
    function folderFiles(list) {
        return Array.prototype.filter.call(list, function (file) {
            const parts = (file.webkitRelativePath || file.name).split('/');
            return parts.length <= 2 && /\.bmp$/i.test(file.name);
        });
    }

    function releaseOutput(entry) {
        if (entry.url)
            URL.revokeObjectURL(entry.url);
        entry.blob = null;
        entry.url = null;
    }

    function setControls(busy) {
        for (const id of ['convert', 'clear', 'chooseFiles', 'chooseFolder', 'fourBit'])
            $(id).disabled = busy;
        $('abort').disabled = !busy;
        $('downloadAll').disabled = busy || !files.some(function (entry) { return entry.blob; });
    }

    function appendError(line) {
        $('errors').textContent += ($('errors').textContent ? '\n' : '') + line;
        $('alert').textContent = line;   // read out at once by screen readers
    }

    // The line under the buttons, which screen readers read out politely.
    function say(text, errorsLink) {
        const status = $('status');
        status.textContent = text;
        if (errorsLink) {
            const link = document.createElement('a');
            link.href = '#errors';
            link.textContent = 'See the error list.';
            status.append(' ', link);
        }
    }

    function plural(count, one, many) { return count + ' ' + (count === 1 ? one : many); }

    function showCount(done) {
        $('count').textContent = done + ' of ' + running.total + ' files';
    }

    function convertAll() {
        if (files.length === 0) {
            say('No files in the list. Choose or drop some BMP files first.');
            return;
        }
        $('errors').textContent = '';
        $('alert').textContent = '';
        for (const entry of files) {
            releaseOutput(entry);
            cell(entry.row, 'progress').textContent = '';
            cell(entry.row, 'result').textContent = '';
        }
        running = { queue: files.slice(), total: files.length, done: 0, converted: 0, refused: 0,
                    current: null, abortRequested: false };
        setControls(true);
        say('Converting ' + plural(files.length, 'file', 'files') + '…');
        // The button pressed is disabled now: the keyboard goes to Abort.
        $('abort').focus();
        startNext();
    }

    function startNext() {
        if (running.abortRequested || running.queue.length === 0) {
            finish();
            return;
        }
        const entry = running.queue.shift();
        // Until the engine's first word, the file counts as being read.
        running.current = { entry: entry, id: nextId++, lastProgress: { step: 'reading', percent: 0 } };
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
            cell(entry.row, 'progress').textContent = message.progress.text;
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
            cell(entry.row, 'progress').textContent = message.aborted ? 'aborted' : 'refused';
            ++running.refused;
            appendError(message.error);
        } else {
            entry.blob = message.blob;
            entry.url = URL.createObjectURL(message.blob);
            const link = document.createElement('a');
            link.href = entry.url;
            link.download = entry.file.name;
            link.textContent = entry.label;
            const about = document.createElement('small');
            about.textContent = plural(message.colours, 'colour', 'colours') + ', ' + message.bits + '-bit';
            result.append(link, about);
            cell(entry.row, 'progress').textContent = 'converted';
            ++running.converted;
        }
        running.current = null;
        showCount(++running.done);
        say(entry.label + (message.error !== undefined ? ' refused' : ' converted') + ' (' + running.done + ' of '
            + running.total + ').');
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
        const progress = current && current.lastProgress;
        if (progress && progress.step === 'reading' && progress.percent < 100) {
            // The file is still being read: the worker is ended, and a new
            // one gives the window's line for it.
            worker.terminate();
            worker = null;
            ensureWorker().postMessage({ id: current.id, abortedName: current.entry.file.name });
        }
    }

    function finish() {
        for (const entry of running.queue)
            cell(entry.row, 'result').textContent = 'not converted';
        let summary = running.converted + ' converted, ' + running.refused + ' refused';
        if (running.queue.length > 0)
            summary += ', ' + running.queue.length + ' not converted (aborted)';
        const refused = running.refused > 0;
        running = null;
        setControls(false);
        say(summary + '.', refused);
        if (document.activeElement === $('abort') || document.activeElement === document.body)
            $('convert').focus();
    }

    function downloadAll() {
        const ready = files.filter(function (entry) { return entry.blob; });
        Promise.all(ready.map(function (entry) { return entry.blob.arrayBuffer(); })).then(function (buffers) {
            const contents = {};
            ready.forEach(function (entry, i) { contents[zipName(entry)] = new Uint8Array(buffers[i]); });
            const zip = fflate.zipSync(contents, { level: 6 });
            const link = document.createElement('a');
            link.href = URL.createObjectURL(new Blob([zip], { type: 'application/zip' }));
            link.download = 'converted-bmp.zip';
            document.body.appendChild(link);
            link.click();
            link.remove();
        });
    }

    $('chooseFiles').addEventListener('click', function () { $('choose').click(); });
    $('chooseFolder').addEventListener('click', function () { $('folder').click(); });
    $('choose').addEventListener('change', function () {
        addFiles($('choose').files);
        $('choose').value = '';
        setControls(!!running);
    });
    $('folder').addEventListener('change', function () {
        const chosen = folderFiles($('folder').files);
        addFiles(chosen);
        $('folder').value = '';
        if (chosen.length === 0)
            say('That folder holds no BMP files.');
        setControls(!!running);
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
        addFiles(event.dataTransfer.files);
        setControls(!!running);
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
        $('alert').textContent = '';
        $('count').textContent = '';
        say('');
        setControls(false);
    });
    // Starting the worker now compiles the engine while the user picks files.
    ensureWorker();
}
