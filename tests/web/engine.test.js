// The engine compiled to WebAssembly, run under node: the reviewed cases of
// tests/cases (each output's SHA-256, or the refusal's line), and the
// pictures the native tests replay (known crashers, the fuzz corpus, the
// seeds), under every combination of options, against the command line: each
// output must be byte-identical to its, and each refusal the same line.
//
//   node engine.test.js BUNDLE CLI CASES FOLDER...
'use strict';
const { spawnSync } = require('child_process');
const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [bundle, cli, cases, ...folders] = process.argv.slice(2);
const api = require(path.resolve(bundle))({});

const combinations = [];
for (const fourBit of [true, false])
    for (const placement of ['none', 'dos', 'boot'])
        combinations.push({ fourBit, placement });

function nativeRun(files, options, destination) {
    const args = ['--placement', options.placement, '--dest', destination];
    if (!options.fourBit)
        args.unshift('--no-four-bit');
    const run = spawnSync(cli, [...args, ...files], { encoding: 'buffer', maxBuffer: 1 << 28 });
    return new Set(run.stderr.toString('utf8').split('\n').filter((line) => line));
}

// The reviewed cases: "picture<TAB>options<TAB>expected".
async function checkCases(engine, failures) {
    const rows = fs.readFileSync(path.join(cases, 'cases.tsv'), 'utf8').split('\n')
        .filter((line) => line && !line.startsWith('#')).map((line) => line.split('\t'));
    for (const [picture, options, expected] of rows) {
        const bytes = fs.readFileSync(path.join(cases, picture));
        const placement = /--placement (\w+)/.exec(options);
        const result = await api.convertSource(engine, picture, bytes.length, (at, count) => bytes.subarray(at, at + count),
                                               { fourBit: !options.includes('--no-four-bit'), placement: placement ? placement[1] : 'boot' },
                                               null, (parts) => Buffer.concat(parts));
        const got = result.error !== undefined ? result.error
            : 'sha256 ' + crypto.createHash('sha256').update(result.output).digest('hex');
        if (got !== expected.replace('{}', picture))
            failures.push(`case ${picture} '${options}': ${got}, not ${expected}`);
    }
    return rows.length;
}

api.createEngine().then(async (engine) => {
    const failures = [];
    let compared = await checkCases(engine, failures);
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'bmp24to8-web-'));
    for (const folder of folders) {
        const files = fs.readdirSync(folder).filter((name) => !name.startsWith('.')).sort()
            .map((name) => path.join(folder, name)).filter((file) => fs.statSync(file).isFile());
        for (const [n, options] of combinations.entries()) {
            const destination = path.join(work, `${path.basename(folder)}-${n}`);
            fs.mkdirSync(destination);
            const refusals = nativeRun(files, options, destination);
            for (const file of files) {
                const bytes = fs.readFileSync(file);
                const result = await api.convertSource(engine, file, bytes.length,
                                                       (at, count) => bytes.subarray(at, at + count), options,
                                                       null, (parts) => Buffer.concat(parts));
                const nativeOutput = path.join(destination, path.basename(file));
                const what = `${file} ${JSON.stringify(options)}`;
                if (result.error !== undefined) {
                    if (!refusals.has(result.error))
                        failures.push(`${what}: the page refused it with "${result.error}", the command line did not`);
                    if (fs.existsSync(nativeOutput))
                        failures.push(`${what}: refused here, converted by the command line`);
                } else if (!fs.existsSync(nativeOutput)) {
                    failures.push(`${what}: converted here, refused by the command line`);
                } else if (!result.output.equals(fs.readFileSync(nativeOutput))) {
                    failures.push(`${what}: the outputs differ`);
                }
                ++compared;
            }
        }
    }
    fs.rmSync(work, { recursive: true, force: true });
    for (const failure of failures.slice(0, 20))
        console.log('FAIL: ' + failure);
    console.log(`${compared} conversions compared, ${failures.length} differed`);
    process.exit(failures.length === 0 && compared > 0 ? 0 : 1);
});
