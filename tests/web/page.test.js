// The web page in a real browser: headless Chromium opens it from disk, is
// given several pictures, converts them, and what the user downloads (one by
// one and as a zip) must be byte-identical to the command line's output, each
// refusal the command line's line, and Abort must mean what it means in the
// window. The page must make no network request.
//
//   node page.test.js PAGE_FOLDER CLI [--screenshot PNG] [--phone-screenshot PNG]
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
const phoneAt = process.argv.indexOf('--phone-screenshot');
const phoneScreenshot = phoneAt > 0 ? process.argv[phoneAt + 1] : null;
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

const longName = 'a'.repeat(156) + '.bmp';   // 160 characters
const pictures = {
    'eight bit.bmp': bmp(40, 30, (x, y) => [(x * 5 + y) % 200, 40, 90]),               // 200 colours
    'four-bit.bmp': bmp(33, 17, (x, y) => [(x + y) % 7 * 30, 0, 255]),                  // 7 colours
    'too many.bmp': bmp(20, 20, (x, y) => [x, y, 7]),                                   // 400 colours
    'notes.bmp': Buffer.from('not a picture'),
    'large.bmp': bmp(1024, 1024, (x, y) => [(x * 31 + y * 17) % 200, 9, 9]),
    'large16.bmp': bmp(1024, 1024, (x, y) => [(x * 31 + y * 17) % 16 * 9, 9, 9]),
    [longName]: bmp(5, 5, (x) => [x * 40, 0, 0]),
    'first/same.bmp': bmp(6, 2, (x) => [x, 1, 1]),
    'second/same.bmp': bmp(3, 3, (x, y) => [y, 2, 2]),
};
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'bmp24to8-page-'));
for (const [name, bytes] of Object.entries(pictures)) {
    fs.mkdirSync(path.dirname(path.join(work, name)), { recursive: true });
    fs.writeFileSync(path.join(work, name), bytes);
}

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

// Converts the files, chosen in one pick, or in one pick each when `picks`
// is a list of lists.
async function convert(page, names, abortAt, picks) {
    await page.click('#clear');
    const input = await page.$('#choose');
    for (const pick of picks || [names])
        await input.uploadFile(...pick.map((name) => path.join(work, name)));
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
    await page.evaluate(() => {
        window.abortFocused = false;
        document.getElementById('abort').addEventListener('focus', () => { window.abortFocused = true; }, { once: true });
    });
    await page.focus('#convert');
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => !document.getElementById('convert').disabled && document.getElementById('count').textContent,
                               { timeout: 60000 });
    // The pressed button is disabled during the run: the keyboard goes to
    // Abort, and back to Convert after it.
    check(await page.evaluate(() => window.abortFocused), `${names || picks}: the focus did not go to Abort`);
    const after = await page.evaluate(() => document.activeElement.id);
    check(after === 'convert', `${names || picks}: the focus is on "${after}" after a run, not on Convert`);
    return rows(page);
}

// Every control in the accessibility tree has a name.
function unnamedControls(node, found = []) {
    if (['button', 'checkbox', 'radio', 'link', 'textbox', 'combobox'].includes(node.role) && !node.name)
        found.push(node.role);
    for (const child of node.children || [])
        unnamedControls(child, found);
    return found;
}

// axe-core, loaded from node_modules: the serious and critical violations.
async function accessibilityViolations(page) {
    if (!(await page.evaluate(() => typeof axe !== 'undefined')))
        await page.addScriptTag({ path: path.join(webModules, 'axe-core', 'axe.min.js') });
    const results = await page.evaluate(() => axe.run(document, { resultTypes: ['violations'] }));
    return results.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${v.id} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`);
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
        for (const row of shown) {
            if (expected.outputs[row.name]) {
                check(row.link && row.download === row.name, `${row.name}: a download link under its own name`);
                if (row.link)
                    check((await downloaded(page, row.link)).equals(expected.outputs[row.name]),
                          `${row.name}: the download differs from the command line's output`);
                check(row.progress === 'converted', `${row.name}: progress "${row.progress}"`);
            } else {
                check(expected.lines.includes(row.error), `${row.name}: "${row.error}" is not the command line's line`);
                check(row.progress === 'refused', `${row.name}: progress "${row.progress}"`);
            }
        }
        const ended = await page.$eval('#status', (p) => [p.textContent, p.getAttribute('aria-live'), p.querySelector('a[href="#errors"]') !== null]);
        check(ended[0] === '2 converted, 2 refused. See the error list.' && ended[1] === 'polite' && ended[2],
              `summary ${JSON.stringify(ended)}`);
        check(await page.$eval('#count', (span) => span.textContent) === '4 of 4 files', 'the count after the run');
        const tree = await page.accessibility.snapshot();
        check(unnamedControls(tree).length === 0, `controls without a name: ${unnamedControls(tree)}`);
        const everything = await page.accessibility.snapshot({ interestingOnly: false });
        const live = (function find(node) {
            return node.role === 'status' ? node : (node.children || []).map(find).find((found) => found);
        })(everything);
        check(live && JSON.stringify(live).includes('"name":"2 converted, 2 refused."'),
              `the live region in the accessibility tree: ${JSON.stringify(live)}`);
        for (const scheme of ['light', 'dark']) {
            await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
            const violations = await accessibilityViolations(page);
            check(violations.length === 0, `${scheme}: accessibility violations ${violations.join('; ')}`);
        }
        const background = await page.$eval('body', (body) => getComputedStyle(body).backgroundColor);
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
        check(background !== await page.$eval('body', (body) => getComputedStyle(body).backgroundColor),
              'the dark scheme has the light background');
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
        for (const [abortAt, aborted, picture] of [['1 %', true, 'large.bmp'], ['Compatibility', false, 'large.bmp'],
                                                    ['0 % 4-bit', false, 'large16.bmp']]) {
            const [large, next] = await convert(page, [picture, 'eight bit.bmp'], abortAt);
            if (aborted)
                check(large.error === `Aborted by user - ${picture}` && large.progress === 'aborted',
                      `abort at ${abortAt}: "${large.result}", "${large.progress}"`);
            else
                check(large.link && (await downloaded(page, large.link)).equals(native([picture]).outputs[picture]),
                      `abort at ${abortAt}: the file in progress was not finished`);
            check(next.result === 'not converted', `abort at ${abortAt}: the next file shows "${next.result}"`);
        }
        // Two files of the same name from two picks: both converted, each
        // downloaded under its own name, both in the zip.
        const same = await convert(page, null, null, [['first/same.bmp'], ['second/same.bmp']]);
        check(JSON.stringify(same.map((row) => row.name)) === '["same.bmp","same.bmp (2)"]', `same names listed as ${same.map((r) => r.name)}`);
        for (const [row, from] of [[same[0], 'first'], [same[1], 'second']]) {
            const wanted = spawnSync(cli, ['--dest', '-', path.join(work, from, 'same.bmp')]).stdout;
            check(row.link && row.download === 'same.bmp' && (await downloaded(page, row.link)).equals(wanted),
                  `${row.name}: not the command line's output of ${from}/same.bmp`);
        }
        await page.click('#downloadAll');
        fs.rmSync(zipPath);
        const pairZip = zipPath;
        for (let waited = 0; waited < 30000 && !fs.existsSync(pairZip); waited += 50)
            await new Promise((resolve) => setTimeout(resolve, 50));
        const pair = fs.existsSync(pairZip) ? Object.keys(fflate.unzipSync(fs.readFileSync(pairZip))).sort() : [];
        check(JSON.stringify(pair) === '["same (2).bmp","same.bmp"]', `the zip of two same names holds ${JSON.stringify(pair)}`);

        // On a phone: a 160-character name wraps, the page needs no sideways
        // scrolling, and the download link is in view.
        await page.setViewport({ width: 375, height: 740, isMobile: true });
        const [long] = await convert(page, [longName]);
        const fits = await page.evaluate(() => {
            const link = document.querySelector('#files .result a');
            return { width: document.documentElement.scrollWidth, linkRight: link ? link.getBoundingClientRect().right : 1e9 };
        });
        check(long.link && fits.width <= 375 && fits.linkRight <= 375, `at 375 px: ${JSON.stringify(fits)}`);
        if (phoneScreenshot)
            await page.screenshot({ path: phoneScreenshot, fullPage: true });
        await page.setViewport({ width: 900, height: 820 });

        // Files dropped on the page join the list, same names included.
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
        check(JSON.stringify(listed) === JSON.stringify(['a.bmp', 'b.bmp', 'b.bmp (2)', 'c.bmp']),
              `dropped files listed as ${JSON.stringify(listed)}`);
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
