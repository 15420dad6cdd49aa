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

// A picture whose rows repeat every 64, made quickly however large: reading
// it takes the worker long enough that an Abort pressed at its start is seen.
function tall(width, height, colours) {
    const pattern = bmp(width, 64, (x, y) => [(x * 31 + y * 17) % colours * (colours > 16 ? 1 : 9), 9, 9]);
    const rowBytes = Math.ceil((3 * width) / 4) * 4;
    const bytes = Buffer.alloc(54 + rowBytes * height);
    pattern.copy(bytes, 0, 0, 54);
    bytes.writeUInt32LE(bytes.length, 2);
    bytes.writeInt32LE(height, 22);
    for (let row = 0; row < height; row += 64)
        pattern.copy(bytes, 54 + row * rowBytes, 54, 54 + Math.min(64, height - row) * rowBytes);
    return bytes;
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
    'large.bmp': tall(2048, 4096, 200),
    'large16.bmp': tall(2048, 4096, 16),
    // Fewer than 200 rows: its reading shows 100 % only once its last row is read.
    'wide.bmp': tall(16384, 192, 200),
    [longName]: bmp(5, 5, (x) => [x * 40, 0, 0]),
    'first/same.bmp': bmp(6, 2, (x) => [x, 1, 1]),
    'second/same.bmp': bmp(3, 3, (x, y) => [y, 2, 2]),
    'third/same (2).bmp': bmp(2, 5, (x, y) => [y, 3, x]),
    'two  spaces.bmp': bmp(2, 2, () => [1, 2, 3]),
    'folder/b.bmp': bmp(2, 2, () => [9, 9, 9]),
    'folder/A.bmp': bmp(3, 2, () => [8, 8, 8]),
    'folder/notes.txt': Buffer.from('not listed'),
    'folder/sub/c.bmp': bmp(2, 2, () => [7, 7, 7]),
    'dots1/x.y.bmp': bmp(2, 1, () => [1, 1, 1]),
    'dots2/x.y.bmp': bmp(2, 1, () => [2, 2, 2]),
    'case1/pic.bmp': bmp(1, 1, () => [3, 3, 3]),
    'case2/Pic.bmp': bmp(1, 1, () => [4, 4, 4]),
};
// Every fifth of them refused, with too many colours.
for (let i = 0; i < 50; ++i)
    pictures[`batch/${String(i).padStart(2, '0')}.bmp`] = i % 5 ? bmp(8, 8, (x, y) => [i, x, y]) : bmp(20, 20, (x, y) => [x, y, i]);
for (let i = 0; i < 8; ++i)
    pictures[`big/${i}.bmp`] = bmp(1024, 1024, (x, y) => [(x * 31 + y * 17) % 200, 9, 9]).subarray(0);
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

// Presses "Download all" and waits for the browser to have the zip: its name
// and entries. Chromium saves it under the download's own id, so that an
// earlier zip of the same name cannot be mistaken for it.
async function downloadAll(page, session, folder) {
    const events = [];
    const record = (event) => events.push(event);
    session.on('Browser.downloadWillBegin', record);
    session.on('Browser.downloadProgress', record);
    await page.click('#downloadAll');
    let begun = null;
    let ended = null;
    for (let waited = 0; waited < 60000 && !ended; waited += 20) {
        await new Promise((resolve) => setTimeout(resolve, 20));
        begun = begun || events.find((event) => event.suggestedFilename);
        ended = begun && events.find((event) => event.guid === begun.guid && ['completed', 'canceled'].includes(event.state));
    }
    session.off('Browser.downloadWillBegin', record);
    session.off('Browser.downloadProgress', record);
    if (!ended || ended.state !== 'completed')
        return { name: begun && begun.suggestedFilename, entries: {} };
    return { name: begun.suggestedFilename, entries: fflate.unzipSync(fs.readFileSync(path.join(folder, begun.guid))) };
}

// Drops paths on the page as the system hands them over, at a point of the
// page: files, or a folder.
async function dropAt(page, session, x, y, files) {
    for (const type of ['dragEnter', 'dragOver', 'drop'])
        await session.send('Input.dispatchDragEvent', { type, x, y, data: { items: [], files, dragOperationsMask: 1 } });
}

async function listedNames(page) {
    return page.$$eval('#files tr:not(#empty) .name', (cells) => cells.map((cell) => cell.textContent));
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
                    window.afterAbort = cell.textContent;
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
        // The last flag lets a folder dropped through the protocol be read, as
        // one dropped from the desktop is.
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-sync',
               '--disable-background-networking', '--disable-component-update', '--allow-file-access-from-files'],
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
        // The same files converted again without Clear: the same outcome, the
        // error list and the count as after one run.
        const again = await page.evaluate(async () => {
            document.getElementById('convert').click();
            while (document.getElementById('convert').disabled)
                await new Promise((resolve) => setTimeout(resolve, 20));
            return [document.getElementById('status').textContent, document.getElementById('count').textContent,
                    document.getElementById('errors').textContent.split('\n').length,
                    [...document.querySelectorAll('#files .result a')].length];
        });
        check(JSON.stringify(again) === JSON.stringify(['2 converted, 2 refused. See the error list.', '4 of 4 files', 2, 2]),
              `a second run without Clear: ${JSON.stringify(again)}`);
        if (screenshot)
            await page.screenshot({ path: screenshot, fullPage: true });

        // Download all: one zip with every converted file.
        const downloads = fs.mkdtempSync(path.join(work, 'downloads-'));
        const session = await page.target().createCDPSession();
        await session.send('Browser.setDownloadBehavior', { behavior: 'allowAndName', downloadPath: downloads, eventsEnabled: true });
        const zipped = await downloadAll(page, session, downloads);
        check(zipped.name === 'converted-bmp.zip', `the zip is called ${zipped.name}`);
        check(JSON.stringify(Object.keys(zipped.entries).sort()) === JSON.stringify(Object.keys(expected.outputs).sort()),
              `zip holds ${JSON.stringify(Object.keys(zipped.entries))}`);
        for (const [name, bytes] of Object.entries(zipped.entries))
            check(Buffer.from(bytes).equals(expected.outputs[name]), `${name} in the zip differs`);

        // Abort while a file is read stops it with the window's line; after
        // its reading it is finished. Either way no further file starts.
        // Aborted files are counted apart from refused ones; a file past its
        // reading says at once that it is being finished.
        for (const [abortAt, aborted, picture] of [['1 %', true, 'large.bmp'], ['100 %', false, 'wide.bmp'],
                                                    ['Compatibility', false, 'large.bmp'], ['0 % 4-bit', false, 'large16.bmp']]) {
            const [large, next] = await convert(page, [picture, 'eight bit.bmp'], abortAt);
            if (aborted)
                check(large.error === `Aborted by user - ${picture}` && large.progress === 'aborted',
                      `abort at ${abortAt}: "${large.result}", "${large.progress}"`);
            else
                check(large.link && (await downloaded(page, large.link)).equals(native([picture]).outputs[picture]),
                      `abort at ${abortAt}: the file in progress was not finished`);
            check(next.result === 'not converted', `abort at ${abortAt}: the next file shows "${next.result}"`);
            const shown = await page.evaluate(() => [window.afterAbort, document.getElementById('status').textContent]);
            const summary = aborted ? '0 converted, 0 refused, 2 aborted. See the error list.' : '1 converted, 0 refused, 1 aborted.';
            check(shown[0] === (aborted ? abortAt : 'finishing') && shown[1] === summary, `abort at ${abortAt}: ${JSON.stringify(shown)}`);
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
        const pair = Object.keys((await downloadAll(page, session, downloads)).entries).sort();
        check(JSON.stringify(pair) === '["same (2).bmp","same.bmp"]', `the zip of two same names holds ${JSON.stringify(pair)}`);
        // A third file called "same (2).bmp": every output keeps a name of its own.
        const threeNames = ['first/same.bmp', 'second/same.bmp', 'third/same (2).bmp'];
        await convert(page, null, null, threeNames.map((name) => [name]));
        const three = (await downloadAll(page, session, downloads)).entries;
        const wanted = threeNames.map((name) => spawnSync(cli, ['--dest', '-', path.join(work, name)]).stdout.toString('hex')).sort();
        check(JSON.stringify(Object.values(three).map((bytes) => Buffer.from(bytes).toString('hex')).sort()) === JSON.stringify(wanted),
              `the zip of three names holds ${JSON.stringify(Object.keys(three))}`);
        // Names with two dots, and names that differ in letter case only,
        // which the systems that unpack zips take for one.
        await convert(page, null, null, [['dots1/x.y.bmp'], ['dots2/x.y.bmp'], ['case1/pic.bmp'], ['case2/Pic.bmp']]);
        const odd = Object.keys((await downloadAll(page, session, downloads)).entries);
        check(JSON.stringify(odd) === '["x.y.bmp","x.y (2).bmp","pic.bmp","Pic (2).bmp"]', `zip names ${JSON.stringify(odd)}`);

        // While a zip of several MiB is made, the page answers at once, and
        // shows how far it is.
        await convert(page, Object.keys(pictures).filter((name) => name.startsWith('big/')));
        await page.evaluate(() => {
            window.longestGap = 0;
            let last = performance.now();
            window.gapTimer = setInterval(() => {
                window.longestGap = Math.max(window.longestGap, performance.now() - last);
                last = performance.now();
            }, 5);
        });
        const big = await downloadAll(page, session, downloads);
        const gap = await page.evaluate(() => { clearInterval(window.gapTimer); return window.longestGap; });
        check(Object.keys(big.entries).length === 8 && gap < 100, `a zip of 8 MiB: ${Object.keys(big.entries).length} entries, the page stalled ${gap} ms`);
        const cancelled = await page.evaluate(() => {
            document.getElementById('downloadAll').click();
            document.getElementById('cancelZip').click();
            return [document.getElementById('status').textContent, document.getElementById('zipping').hidden,
                    document.getElementById('downloadAll').disabled];
        });
        check(JSON.stringify(cancelled) === '["The zip was cancelled.",true,false]', `Cancel zip: ${JSON.stringify(cancelled)}`);

        // A run of 50 files: the live regions speak at a pace a person can
        // follow, and nothing stale is left in them afterwards.
        await page.evaluate(() => {
            window.liveChanges = [];
            for (const region of document.querySelectorAll('[aria-live], [role=alert], [role=status]'))
                new MutationObserver(() => window.liveChanges.push(performance.now()))
                    .observe(region, { subtree: true, childList: true, characterData: true });
        });
        await convert(page, Object.keys(pictures).filter((name) => name.startsWith('batch/')));
        const pace = await page.evaluate(() => ({
            busiestSecond: Math.max(...window.liveChanges.map((t) => window.liveChanges.filter((u) => u >= t && u < t + 1000).length)),
            regions: [...document.querySelectorAll('[aria-live], [role=alert], [role=status]')].map((region) => region.textContent),
        }));
        check(pace.busiestSecond <= 3, `the live regions changed ${pace.busiestSecond} times in one second`);
        check(JSON.stringify(pace.regions) === '["40 converted, 10 refused. See the error list."]',
              `the live regions after a run hold ${JSON.stringify(pace.regions)}`);

        // A file removed from disk after it was chosen cannot be opened, as
        // the command line says of a missing file.
        const gone = path.join(work, 'gone.bmp');
        fs.writeFileSync(gone, pictures['four-bit.bmp']);
        await page.click('#clear');
        await (await page.$('#choose')).uploadFile(gone);
        fs.rmSync(gone);
        await page.click('#convert');
        await page.waitForFunction(() => !document.getElementById('convert').disabled && document.getElementById('count').textContent);
        const goneRow = (await rows(page))[0];
        check(goneRow.error === 'Cannot open file - gone.bmp', `a removed file: "${goneRow.error}"`);

        // Files the system drops, anywhere on the page: a picture outside the
        // zone is added and the page stays; a folder adds its own pictures,
        // sorted as the window lists them.
        await page.click('#clear');
        const url = page.url();
        // A drop whose default is not prevented opens the file in the tab.
        await page.evaluate(() => {
            window.dropsLeftToTheBrowser = 0;
            for (const type of ['dragover', 'drop'])
                window.addEventListener(type, (event) => { window.dropsLeftToTheBrowser += !event.defaultPrevented; });
        });
        await dropAt(page, session, 20, 20, [path.join(work, 'two  spaces.bmp')]);
        await dropAt(page, session, 20, 20, [path.join(work, 'folder')]);
        await page.waitForFunction(() => document.querySelectorAll('#files tr:not(#empty)').length >= 3, { timeout: 10000 })
            .catch(() => {});
        check(page.url() === url, `a drop outside the zone opened ${page.url()}`);
        const leftToTheBrowser = await page.evaluate(() => window.dropsLeftToTheBrowser);
        check(leftToTheBrowser === 0, `${leftToTheBrowser} drag events outside the zone were left to the browser`);
        check(JSON.stringify(await listedNames(page)) === '["two  spaces.bmp","A.bmp","b.bmp"]', `dropped: ${JSON.stringify(await listedNames(page))}`);
        const spaced = await page.$$eval('#files tr:not(#empty) .name', (tds) => (tds.length ? getComputedStyle(tds[0]).whiteSpace : 'no rows'));
        check(spaced === 'pre-wrap', `a name's spaces are shown as ${spaced}`);

        // On a phone: a 160-character name wraps, the page needs no sideways
        // scrolling, and the download link is in view.
        for (const width of [375, 320]) {
            await page.setViewport({ width, height: 740, isMobile: true });
            const [long] = await convert(page, [longName, 'eight bit.bmp']);
            const fits = await page.evaluate(() => {
                const link = document.querySelector('#files .result a');
                const row = document.querySelector('#files tr:not(#empty)');
                return { width: document.documentElement.scrollWidth, linkRight: link ? link.getBoundingClientRect().right : 1e9,
                         names: row.innerText.split('aaaa.bmp').length - 1 };
            });
            // Each row shows the name once: the link says "Download".
            check(long.link && fits.width <= width && fits.linkRight <= width && fits.names === 1, `at ${width} px: ${JSON.stringify(fits)}`);
            if (phoneScreenshot && width === 375)
                await page.screenshot({ path: phoneScreenshot, fullPage: true });
        }
        await page.setViewport({ width: 900, height: 820 });

        // Files dropped on the page join the list, same names included.
        await page.click('#clear');
        const listed = await page.evaluate(async (bytes) => {
            const drop = async (names) => {
                const transfer = new DataTransfer();
                for (const name of names)
                    transfer.items.add(new File([new Uint8Array(bytes)], name, { type: 'image/bmp' }));
                const before = document.querySelectorAll('#files tr:not(#empty)').length;
                document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true }));
                while (document.querySelectorAll('#files tr:not(#empty)').length < before + names.length)
                    await new Promise((resolve) => setTimeout(resolve, 10));
            };
            await drop(['a.bmp', 'b.bmp']);
            await drop(['b.bmp', 'c.bmp']);
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
    for (const failure of failures)
        console.log('FAIL: ' + failure);
    console.log('FAIL: ' + (error.stack || error));
    process.exit(1);
});
