// The page's side: the list of chosen files, the options, one worker that
// converts the files in turn and another that makes the zip of "Download all",
// so that the page stays responsive whatever the sizes.
function startPage(workerFunction, zipWorkerFunction) {
    const $ = function (id) { return document.getElementById(id); };
    const files = [];        // {file, label, row, blob, url}
    let worker = null;
    let running = null;      // {queue, total, done, converted, refused, aborted, current, abortRequested, lastSaid}
    let zipping = null;      // {worker, count}
    let nextId = 1;
    // A screen reader is told of a run's progress at most this often.
    const kSayEvery = 5000;

    // Opened from disk the page has no origin a worker file could be loaded
    // from, so each worker is started from this script's own code.
    function startWorker(code) {
        const script = URL.createObjectURL(new Blob(['(' + code.toString() + ')(self);'], { type: 'text/javascript' }));
        return new Worker(script);
    }

    function ensureWorker() {
        if (!worker) {
            worker = startWorker(workerFunction);
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

    // The names of the outputs in the zip: each file's own, and where that is
    // taken already (by a file of the same name, or one called "same (2).bmp"),
    // the first free "name (N).bmp". Names differing only in letter case count
    // as the same, as they are on the systems that unpack the zip.
    function zipNames(entries) {
        const taken = new Set();
        return entries.map(function (entry) {
            const name = entry.file.name;
            const dot = name.lastIndexOf('.');
            const stem = dot > 0 ? name.slice(0, dot) : name;
            const extension = dot > 0 ? name.slice(dot) : '';
            let candidate = name;
            for (let n = 2; taken.has(candidate.toLowerCase()); ++n)
                candidate = stem + ' (' + n + ')' + extension;
            taken.add(candidate.toLowerCase());
            return candidate;
        });
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
        setControls();
        return added;
    }

    // Sorted as the window lists a folder: by name, letter case aside.
    function byName(a, b) {
        const x = a.name.toLowerCase();
        const y = b.name.toLowerCase();
        return x < y ? -1 : x > y ? 1 : a.name < b.name ? -1 : a.name > b.name ? 1 : 0;
    }

    function isPicture(file) { return /\.bmp$/i.test(file.name); }

    // The files of a chosen folder that the window would list: its own BMP
    // files, not those of its subfolders.
    function folderFiles(list) {
        return Array.prototype.filter.call(list, function (file) {
            const parts = (file.webkitRelativePath || file.name).split('/');
            return parts.length <= 2 && isPicture(file);
        }).sort(byName);
    }

    // The BMP files of a dropped folder, as "Choose a folder…" takes them.
    function droppedFolderFiles(folder) {
        return new Promise(function (resolve) {
            const reader = folder.createReader();
            const found = [];
            const readMore = function () {
                reader.readEntries(function (entries) {
                    if (entries.length === 0) {
                        const pictures = found.filter(function (entry) { return entry.isFile && isPicture(entry); });
                        Promise.all(pictures.map(function (entry) {
                            return new Promise(function (done) { entry.file(done, function () { done(null); }); });
                        })).then(function (list) { resolve(list.filter(Boolean).sort(byName)); });
                        return;
                    }
                    found.push.apply(found, entries);
                    readMore();
                }, function () { resolve([]); });
            };
            readMore();
        });
    }

    // What was dropped, in order: files as they are, folders as their pictures.
    function dropped(transfer) {
        // The items can only be read while the drop is being handled.
        const items = Array.prototype.map.call(transfer.items || [], function (item) {
            const entry = item.kind === 'file' && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
            return entry && entry.isDirectory ? entry : item.kind === 'file' ? item.getAsFile() : null;
        }).filter(Boolean);
        if (items.length === 0)
            return Promise.resolve(Array.prototype.slice.call(transfer.files || []));
        return Promise.all(items.map(function (item) {
            return item.isDirectory ? droppedFolderFiles(item) : [item];
        })).then(function (lists) { return [].concat.apply([], lists); });
    }

    function releaseOutput(entry) {
        if (entry.url)
            URL.revokeObjectURL(entry.url);
        entry.blob = null;
        entry.url = null;
    }

    function setControls() {
        const busy = !!running;
        for (const id of ['convert', 'clear', 'chooseFiles', 'chooseFolder', 'fourBit'])
            $(id).disabled = busy;
        $('abort').disabled = !busy;
        $('downloadAll').disabled = busy || !!zipping || !files.some(function (entry) { return entry.blob; });
    }

    function appendError(line) {
        $('errors').textContent += ($('errors').textContent ? '\n' : '') + line;
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
        for (const entry of files) {
            releaseOutput(entry);
            cell(entry.row, 'progress').textContent = '';
            cell(entry.row, 'result').textContent = '';
        }
        running = { queue: files.slice(), total: files.length, done: 0, converted: 0, refused: 0, aborted: 0,
                    current: null, abortRequested: false, lastSaid: performance.now() };
        setControls();
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
        running.current = { entry: entry, id: nextId++, lastProgress: { step: 'reading', percent: 0 }, finishing: false };
        // The options are read as each file starts, as the window reads them.
        ensureWorker().postMessage({ id: running.current.id, file: entry.file, options: options() });
    }

    function onWorkerMessage(event) {
        const message = event.data;
        if (!running || !running.current || message.id !== running.current.id)
            return;
        const current = running.current;
        if (message.progress !== undefined) {
            current.lastProgress = message.progress;
            if (!current.finishing)
                cell(current.entry.row, 'progress').textContent = message.progress.text;
            return;
        }
        fileDone(current.entry, message);
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
            if (message.aborted)
                ++running.aborted;
            else
                ++running.refused;
            appendError(message.error);
        } else {
            entry.blob = message.blob;
            entry.url = URL.createObjectURL(message.blob);
            const link = document.createElement('a');
            link.href = entry.url;
            link.download = entry.file.name;
            link.setAttribute('aria-label', 'Download ' + entry.label);
            // On a phone the name stands in its own column already.
            link.innerHTML = '<span class="download-word">Download</span><span class="download-name"></span>';
            link.querySelector('.download-name').textContent = entry.label;
            const about = document.createElement('small');
            about.textContent = plural(message.colours, 'colour', 'colours') + ', ' + message.bits + '-bit';
            result.append(link, ' ', about);
            cell(entry.row, 'progress').textContent = 'converted';
            ++running.converted;
        }
        running.current = null;
        showCount(++running.done);
        // A screen reader hears how far the run is every few seconds, not of
        // every file; refusals are summed up at the end.
        if (performance.now() - running.lastSaid >= kSayEvery && running.done < running.total) {
            running.lastSaid = performance.now();
            say(running.done + ' of ' + running.total + ' files done…');
        }
        startNext();
    }

    // Abort, as in the window: a file still being read stops at its next row
    // with "Aborted by user"; a file already past its reading is finished; no
    // further file starts.
    function abort() {
        if (!running || running.abortRequested)
            return;
        running.abortRequested = true;
        const current = running.current;
        if (!current)
            return;
        worker.postMessage({ abort: current.id });
        const progress = current.lastProgress;
        if (progress.step !== 'reading' || progress.percent === 100) {
            current.finishing = true;
            cell(current.entry.row, 'progress').textContent = 'finishing';
        }
    }

    function finish() {
        for (const entry of running.queue)
            cell(entry.row, 'result').textContent = 'not converted';
        const aborted = running.aborted + running.queue.length;
        let summary = running.converted + ' converted, ' + running.refused + ' refused';
        if (aborted > 0)
            summary += ', ' + aborted + ' aborted';
        const failures = running.refused + running.aborted > 0;
        running = null;
        setControls();
        say(summary + '.', failures);
        if (document.activeElement === $('abort') || document.activeElement === document.body)
            $('convert').focus();
    }

    // "Download all": the converted files in one zip, made by a worker of its
    // own, so that the page goes on answering while a large one is made, with
    // its progress shown and a way to cancel it.
    function downloadAll() {
        const ready = files.filter(function (entry) { return entry.blob; });
        if (zipping || ready.length === 0)
            return;
        const names = zipNames(ready);
        zipping = { worker: startWorker(zipWorkerFunction), count: ready.length };
        zipping.worker.onmessage = function (event) {
            const message = event.data;
            if (message.progress !== undefined) {
                $('zipProgress').value = message.progress;
                return;
            }
            endZip();
            if (message.error !== undefined) {
                say('The zip could not be made: ' + message.error);
                return;
            }
            const link = document.createElement('a');
            link.href = URL.createObjectURL(message.zip);
            link.download = 'converted-bmp.zip';
            document.body.appendChild(link);
            link.click();
            link.remove();
            // The download has the bytes; the page lets them go a moment later.
            setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
            say('The zip of ' + plural(names.length, 'file', 'files') + ' is ready: converted-bmp.zip.');
        };
        zipping.worker.postMessage({ files: ready.map(function (entry, i) { return { name: names[i], blob: entry.blob }; }) });
        $('zipProgress').value = 0;
        $('zipping').hidden = false;
        setControls();
        say('Making the zip of ' + plural(ready.length, 'file', 'files') + '…');
        $('cancelZip').focus();
    }

    function endZip() {
        const hadFocus = document.activeElement === $('cancelZip');
        zipping.worker.terminate();
        zipping = null;
        $('zipping').hidden = true;
        setControls();
        if (hadFocus)
            $('downloadAll').focus();
    }

    function cancelZip() {
        if (!zipping)
            return;
        endZip();
        say('The zip was cancelled.');
    }

    $('chooseFiles').addEventListener('click', function () { $('choose').click(); });
    $('chooseFolder').addEventListener('click', function () { $('folder').click(); });
    $('choose').addEventListener('change', function () {
        addFiles($('choose').files);
        $('choose').value = '';
    });
    $('folder').addEventListener('change', function () {
        const chosen = folderFiles($('folder').files);
        addFiles(chosen);
        $('folder').value = '';
        if (chosen.length === 0)
            say('That folder holds no BMP files.');
    });
    // The whole page takes drops: one that misses the zone must not open the
    // picture in the tab, which would lose every result on the page.
    const zone = $('drop');
    let dragDepth = 0;
    document.addEventListener('dragenter', function (event) {
        event.preventDefault();
        ++dragDepth;
        zone.classList.add('over');
    });
    document.addEventListener('dragleave', function () {
        dragDepth = Math.max(0, dragDepth - 1);
        if (dragDepth === 0)
            zone.classList.remove('over');
    });
    document.addEventListener('dragover', function (event) {
        event.preventDefault();
        if (event.dataTransfer)
            event.dataTransfer.dropEffect = 'copy';
    });
    document.addEventListener('drop', function (event) {
        event.preventDefault();
        dragDepth = 0;
        zone.classList.remove('over');
        if (!event.dataTransfer)
            return;
        dropped(event.dataTransfer).then(function (list) {
            if (addFiles(list) === 0)
                say('Nothing to add: drop BMP files, or a folder that holds some.');
        });
    });
    $('convert').addEventListener('click', convertAll);
    $('abort').addEventListener('click', abort);
    $('downloadAll').addEventListener('click', downloadAll);
    $('cancelZip').addEventListener('click', cancelZip);
    $('clear').addEventListener('click', function () {
        for (const entry of files.splice(0)) {
            releaseOutput(entry);
            entry.row.remove();
        }
        $('empty').hidden = false;
        $('errors').textContent = '';
        $('count').textContent = '';
        say('');
        setControls();
    });
    // Starting the worker now compiles the engine while the user picks files.
    ensureWorker();
}
