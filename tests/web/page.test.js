// The web page in a real browser: headless Chromium opens it from disk, is
// given several pictures, converts them, and what the user downloads (one by
// one and as a zip) must be byte-identical to the command line's output, each
// refusal the command line's line, and Abort must mean what it means in the
// window. The page must make no network request.
//
//   node page.test.js PAGE_FOLDER CLI [--screenshot PNG]
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const webModules = path.join(__dirname, '..', '..', 'web', 'node_modules');
const puppeteer = require(path.join(webModules, 'puppeteer-core'));
const fflate = require(path.join(webModules, 'fflate'));

const pageFolder = process.argv[2];
const cli = path.resolve(process.argv[3]);
const screenshotAt = process.argv.indexOf('--screenshot');
const screenshot = screenshotAt > 0 ? process.argv[screenshotAt + 1] : null;
const failures = [];
function check(condition, what) {
    if (!condition)
        failures.push(what);
}

// A 24-bit picture, bottom-up; colourAt(x, y) gives [blue, green, red] with y
// counted from the top.
function bmp(width, height, colourAt) {
    const rowBytes = Math.ceil((3 * width) / 4) * 4;
    const bytes = Buffer.alloc(54 + rowBytes * height);
    bytes.write('BM', 0);
    bytes.writeUInt32LE(bytes.length, 2);
    bytes.writeUInt32LE(54, 10);
    bytes.writeUInt32LE(40, 14);
    bytes.writeInt32LE(width, 18);
    bytes.writeInt32LE(height, 22);
    bytes.writeUInt16LE(1, 26);
    bytes.writeUInt16LE(24, 28);
    for (let row = 0; row < height; ++row)
        for (let x = 0; x < width; ++x)
            Buffer.from(colourAt(x, height - 1 - row)).copy(bytes, 54 + row * rowBytes + 3 * x);
    return bytes;
}

const pictures = {
    'eight bit.bmp': bmp(40, 30, (x, y) => [(x * 5 + y) % 200, 40, 90]),               // 200 colours
    'four-bit.bmp': bmp(33, 17, (x, y) => [(x + y) % 7 * 30, 0, 255]),                  // 7 colours
    'too many.bmp': bmp(20, 20, (x, y) => [x, y, 7]),                                   // 400 colours
    'notes.bmp': Buffer.from('not a picture'),
    'large.bmp': bmp(1024, 1024, (x, y) => [(x * 31 + y * 17) % 200, 9, 9]),
};
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'bmp24to8-page-'));
for (const [name, bytes] of Object.entries(pictures))
    fs.writeFileSync(path.join(work, name), bytes);

// The command line with the page's default options, from the pictures'
// folder, so that its lines name the files as the page does.
function native(names) {
    const destination = fs.mkdtempSync(path.join(work, 'out-'));
    const run = spawnSync(cli, ['--dest', destination, ...names], { cwd: work, encoding: 'utf8' });
    const outputs = {};
    for (const name of names)
        if (fs.existsSync(path.join(destination, name)))
            outputs[name] = fs.readFileSync(path.join(destination, name));
    return { outputs, lines: run.stderr.split('\n').filter((line) => line) };
}

async function rows(page) {
    return page.$$eval('#files tr:not(#empty)', (trs) => trs.map((tr) => ({
        name: tr.querySelector('.name').textContent,
        progress: tr.querySelector('.progress').textContent,
        error: tr.querySelector('.result .error') ? tr.querySelector('.result .error').textContent : null,
        result: tr.querySelector('.result').textContent,
        link: tr.querySelector('.result a') ? tr.querySelector('.result a').href : null,
        download: tr.querySelector('.result a') ? tr.querySelector('.result a').download : null,
    })));
}

async function downloaded(page, url) {
    const base64 = await page.evaluate(async (href) => {
        const bytes = new Uint8Array(await (await fetch(href)).arrayBuffer());
        let text = '';
        for (let i = 0; i < bytes.length; i += 0x8000)
            text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return btoa(text);
    }, url);
    return Buffer.from(base64, 'base64');
}

async function convert(page, names, abortAt) {
    await page.click('#clear');
    const input = await page.$('#choose');
    await input.uploadFile(...names.map((name) => path.join(work, name)));
    if (abortAt) {
        // Pressed from inside the page the moment the first file shows the
        // text, so the moment is the same on every run.
        await page.evaluate((text) => {
            const cell = document.querySelector('#files tr:not(#empty) .progress');
            new MutationObserver((changes, observer) => {
                if (cell.textContent === text) {
                    observer.disconnect();
                    document.getElementById('abort').click();
                }
            }).observe(cell, { childList: true, characterData: true, subtree: true });
        }, abortAt);
    }
    await page.click('#convert');
    await page.waitForFunction(() => !document.getElementById('convert').disabled && document.getElementById('count').textContent,
                               { timeout: 60000 });
    return rows(page);
}

(async () => {
    const browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-sync',
               '--disable-background-networking', '--disable-component-update'],
    });
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: 900, height: 820 });
        const network = [];
        page.on('request', (request) => {
            if (!/^(file|data|blob):/.test(request.url()))
                network.push(request.url());
        });
        page.on('pageerror', (error) => failures.push('page error: ' + error.message));
        await page.goto('file://' + path.resolve(pageFolder, 'index.html'), { waitUntil: 'load' });

        // Three pictures and a file that is no picture, with the default options.
        const names = ['eight bit.bmp', 'four-bit.bmp', 'too many.bmp', 'notes.bmp'];
        const expected = native(names);
        const shown = await convert(page, names);
        check(shown.length === names.length, `${shown.length} rows for ${names.length} files`);
        const windowTexts = { 'eight bit.bmp': 'Compatibility', 'four-bit.bmp': '100 % 4-bit' };
        for (const row of shown) {
            if (expected.outputs[row.name]) {
                check(row.link && row.download === row.name, `${row.name}: a download link under its own name`);
                if (row.link)
                    check((await downloaded(page, row.link)).equals(expected.outputs[row.name]),
                          `${row.name}: the download differs from the command line's output`);
                check(row.progress === windowTexts[row.name], `${row.name}: progress "${row.progress}"`);
            } else {
                check(expected.lines.includes(row.error), `${row.name}: "${row.error}" is not the command line's line`);
            }
        }
        const errorList = await page.$eval('#errors', (pre) => pre.textContent.split('\n'));
        check(JSON.stringify(errorList) === JSON.stringify(expected.lines),
              `error list ${JSON.stringify(errorList)}, command line ${JSON.stringify(expected.lines)}`);
        if (screenshot)
            await page.screenshot({ path: screenshot, fullPage: true });

        // Download all: one zip with every converted file.
        const downloads = fs.mkdtempSync(path.join(work, 'downloads-'));
        const session = await page.target().createCDPSession();
        await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
        await page.click('#downloadAll');
        const zipPath = path.join(downloads, 'converted-bmp.zip');
        for (let waited = 0; waited < 30000 && !fs.existsSync(zipPath); waited += 50)
            await new Promise((resolve) => setTimeout(resolve, 50));
        const zipped = fs.existsSync(zipPath) ? fflate.unzipSync(fs.readFileSync(zipPath)) : {};
        check(JSON.stringify(Object.keys(zipped).sort()) === JSON.stringify(Object.keys(expected.outputs).sort()),
              `zip holds ${JSON.stringify(Object.keys(zipped))}`);
        for (const [name, bytes] of Object.entries(zipped))
            check(Buffer.from(bytes).equals(expected.outputs[name]), `${name} in the zip differs`);

        // Abort while a file is read stops it with the window's line; after
        // its reading it is finished. Either way no further file starts.
        for (const [abortAt, aborted] of [['1 %', true], ['Compatibility', false]]) {
            const [large, next] = await convert(page, ['large.bmp', 'eight bit.bmp'], abortAt);
            if (aborted)
                check(large.error === 'Aborted by user - large.bmp', `abort at ${abortAt}: "${large.result}"`);
            else
                check(large.link && (await downloaded(page, large.link)).equals(native(['large.bmp']).outputs['large.bmp']),
                      `abort at ${abortAt}: the file in progress was not finished`);
            check(next.result === 'not converted', `abort at ${abortAt}: the next file shows "${next.result}"`);
        }
        // Files dropped on the page join the list; a name already there is replaced.
        await page.click('#clear');
        const listed = await page.evaluate((bytes) => {
            const drop = (names) => {
                const transfer = new DataTransfer();
                for (const name of names)
                    transfer.items.add(new File([new Uint8Array(bytes)], name, { type: 'image/bmp' }));
                document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true }));
            };
            drop(['a.bmp', 'b.bmp']);
            drop(['b.bmp', 'c.bmp']);
            return [...document.querySelectorAll('#files tr:not(#empty) .name')].map((cell) => cell.textContent);
        }, [...pictures['four-bit.bmp']]);
        check(JSON.stringify(listed) === JSON.stringify(['a.bmp', 'b.bmp', 'c.bmp']), `dropped files listed as ${JSON.stringify(listed)}`);
        check(network.length === 0, `network requests: ${network.join(' ')}`);
    } finally {
        await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
    for (const failure of failures)
        console.log('FAIL: ' + failure);
    console.log(failures.length === 0 ? 'page: all checks passed' : `page: ${failures.length} checks failed`);
    process.exit(failures.length === 0 ? 0 : 1);
})().catch((error) => {
    console.log('FAIL: ' + (error.stack || error));
    process.exit(1);
});
