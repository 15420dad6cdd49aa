// The web page's speed and memory on one picture, against the command line on
// the same machine: the page, opened from disk in headless Chromium, converts
// the picture in its worker; the time runs from the press of Convert to the
// download link. The worker's memory is its WebAssembly memory (which never
// shrinks, so its size is the peak) and the output it hands to the page; the
// renderer's peak resident memory, less what it held before, is given too.
//
//   node bench/web-bench.js PAGE_FOLDER CLI PICTURE [RUNS]
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require(path.join(__dirname, '..', 'web', 'node_modules', 'puppeteer-core'));

const [pageFolder, cli, picture] = process.argv.slice(2);
const runs = Number(process.argv[5] || 7);
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const mib = (bytes) => (bytes / 1048576).toFixed(1);

// The command line, timed from its start to its end, `sync` before each run:
// writing the output durably into a folder (what a user of the command line
// gets), and writing it to standard output into /dev/null (the conversion
// alone, as the page makes its output in memory and writes nothing to disk).
function nativeMilliseconds() {
    const out = fs.mkdtempSync(path.join(os.tmpdir(), 'bmp24to8-bench-'));
    const devNull = fs.openSync('/dev/null', 'w');
    const durable = [];
    const inMemory = [];
    for (let i = 0; i < runs; ++i) {
        for (const [times, args, stdio] of [[durable, ['--dest', out, picture], 'ignore'],
                                            [inMemory, ['--dest', '-', picture], ['ignore', devNull, 'ignore']]]) {
            spawnSync('sync');
            const started = process.hrtime.bigint();
            spawnSync(cli, args, { stdio });
            times.push(Number(process.hrtime.bigint() - started) / 1e6);
        }
    }
    fs.closeSync(devNull);
    fs.rmSync(out, { recursive: true, force: true });
    return { durable: median(durable), inMemory: median(inMemory) };
}

// The renderer processes' peak resident memory, in bytes, by process id.
function rendererPeaks(browserPid) {
    const peaks = {};
    for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
        try {
            const command = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
            const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
            const parent = Number(/PPid:\s+(\d+)/.exec(status)[1]);
            if (command.includes('--type=renderer') && command.includes('chromium') && parent !== 0)
                peaks[pid] = 1024 * Number(/VmHWM:\s+(\d+)/.exec(status)[1]);
        } catch (error) {
            // gone meanwhile
        }
    }
    return peaks;
}

// Converts the picture in a fresh page, then once more in the same page, as
// the second file of a batch: by then the worker's memory has grown and its
// code has been optimised.
async function pageRun(browser) {
    const page = await browser.newPage();
    await page.goto('file://' + path.resolve(pageFolder, 'index.html'), { waitUntil: 'load' });
    // Let the worker compile the engine first, as it does while a user picks files.
    await new Promise((resolve) => setTimeout(resolve, 500));
    const before = rendererPeaks();
    await (await page.$('#choose')).uploadFile(path.resolve(picture));
    const runs = [];
    for (let i = 0; i < 2; ++i) {
        runs.push(await page.evaluate(() => new Promise((resolve) => {
            const started = performance.now();
            const result = document.querySelector('#files tr:not(#empty) .result');
            const observer = new MutationObserver(() => {
                if (result.textContent) {
                    observer.disconnect();
                    resolve({ milliseconds: performance.now() - started, result: (result.querySelector('small') || result).textContent,
                              worker: window.lastWorkerReport });
                }
            });
            observer.observe(result, { childList: true, subtree: true, characterData: true });
            document.getElementById('convert').click();
        })));
        if (i === 0) {
            const after = rendererPeaks();
            runs[0].rendererGrowth = Math.max(...Object.keys(after).map((pid) => after[pid] - (before[pid] || 0)));
        }
    }
    await page.close();
    return runs;
}

(async () => {
    const sourceBytes = fs.statSync(picture).size;
    const browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-sync',
               '--disable-background-networking', '--disable-component-update'],
    });
    const first = [];
    const second = [];
    for (let i = 0; i < runs; ++i) {
        const [one, two] = await pageRun(browser);
        first.push(one);
        second.push(two);
    }
    await browser.close();
    const native = nativeMilliseconds();
    const firstMs = median(first.map((run) => run.milliseconds));
    const secondMs = median(second.map((run) => run.milliseconds));
    const wasm = Math.max(...first.concat(second).map((run) => run.worker.memoryBytes));
    const output = first[0].worker.outputBytes;
    console.log(`picture: ${path.basename(picture)}, ${mib(sourceBytes)} MiB; ${first[0].result}`);
    console.log(`command line, into a folder, synced: ${native.durable.toFixed(0)} ms; to /dev/null: ${native.inMemory.toFixed(0)} ms`
                + ` (medians of ${runs}, sync before each, start to end of the process)`);
    for (const [what, ms] of [['first file in a fresh page', firstMs], ['the same file again in that page', secondMs]])
        console.log(`page, ${what}: ${ms.toFixed(0)} ms (press of Convert to the download link), `
                    + `${(ms / native.durable).toFixed(2)} x the synced command line, ${(ms / native.inMemory).toFixed(2)} x to /dev/null`);
    console.log(`worker memory: WebAssembly ${mib(wasm)} MiB at most; the output, ${mib(output)} MiB, goes to the page as a Blob`);
    console.log(`limit: 0.5 x source + 64 MiB = ${mib(0.5 * sourceBytes + 64 * 1048576)} MiB`);
    console.log(`renderer's peak resident memory grew by ${mib(median(first.map((run) => run.rendererGrowth)))} MiB (median)`);
})();
