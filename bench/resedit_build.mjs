// The peer build with the npm package resedit: each script of a skin is read
// (the subset the generated skins use: #define, STRINGTABLE/BEGIN/END,
// ICON and RCDATA lines, // comments), and its resources are written into a
// copy of the template module, as the Build does.
//
//   node resedit_build.mjs FILES_DIR OUT_DIR TEMPLATE
//
// TEMPLATE must be the template module with its certificate-table entry
// zeroed: resedit refuses the entry the real template carries.
import fs from 'node:fs';
import path from 'node:path';
import { NtExecutable, NtExecutableResource, Data, Resource } from 'resedit';

const TARGETS = [
    ['vistel.rc', 'vistel.dll'], ['tavo.rc', 'tavo_pics.dll'], ['brel.rc', 'brel_pics.dll'],
    ['quon.rc', 'quon_pics.dll'], ['zelma.rc', 'zelma_pics.dll'], ['oxin.rc', 'oxin_pics.dll'],
    ['marvet.rc', 'marvet_pics.dll'], ['polden.rc', 'polden_pics.dll'],
];
const LANGUAGE = 1049;

function decode(bytes) {
    if (bytes[0] === 0xff && bytes[1] === 0xfe) return new TextDecoder('utf-16le').decode(bytes.subarray(2));
    if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf)
        return new TextDecoder('utf-8').decode(bytes.subarray(3));
    return new TextDecoder('windows-1251').decode(bytes);
}

function fileName(token) {
    let name = token;
    if (name.startsWith('"') && name.endsWith('"')) name = name.slice(1, -1).replaceAll('\\\\', '\\');
    return name.replaceAll('\\', '/');
}

function buildOne(scriptPath, filesDir, template, outPath) {
    const exe = NtExecutable.from(template);
    const res = NtExecutableResource.from(exe);
    const defines = new Map();
    const strings = [];
    let inStrings = false;
    for (const raw of decode(fs.readFileSync(scriptPath)).split(/\r\n|\r|\n/)) {
        const cut = raw.indexOf('//');
        const line = (cut >= 0 ? raw.slice(0, cut) : raw).trim();
        if (!line) continue;
        const upper = line.toUpperCase();
        if (upper === 'STRINGTABLE' || upper === 'END') { inStrings = false; continue; }
        if (upper === 'BEGIN') { inStrings = true; continue; }
        const tokens = line.split(/[ \t]+/);
        if (inStrings) {
            const text = line.slice(tokens[0].length).trim();
            strings.push(text.startsWith('"') ? text.slice(1, text.lastIndexOf('"')) : tokens[1]);
            continue;
        }
        if (tokens[0].toLowerCase() === '#define') {
            if (!defines.has(tokens[1])) defines.set(tokens[1], parseInt(tokens[2], 10));
            continue;
        }
        const [key, kind, file] = tokens;
        const id = /^[0-9]+$/.test(key) ? parseInt(key, 10) : (defines.get(key) ?? key);
        const bytes = fs.readFileSync(path.join(filesDir, fileName(file)));
        if (kind.toUpperCase() === 'RCDATA') {
            res.replaceResourceEntry({ type: 10, id, lang: LANGUAGE, codepage: 0, bin: bytes });
        } else if (kind.toUpperCase() === 'ICON') {
            const icon = Data.IconFile.from(bytes);
            Resource.IconGroupEntry.replaceIconsForResource(res.entries, id, LANGUAGE,
                                                            icon.icons.map((item) => item.data));
        }
    }
    if (strings.length) {
        const table = new Resource.StringTable();
        table.lang = LANGUAGE;
        strings.forEach((text, k) => table.setById(k + 1, text));
        table.replaceStringEntriesForExecutable(res);
    }
    res.outputResource(exe);
    fs.writeFileSync(outPath, Buffer.from(exe.generate()));
}

const [filesDir, outDir, templatePath] = process.argv.slice(2);
const template = fs.readFileSync(templatePath);
fs.mkdirSync(outDir, { recursive: true });
for (const [script, module] of TARGETS) {
    const scriptPath = path.join(filesDir, script);
    if (fs.existsSync(scriptPath)) buildOne(scriptPath, filesDir, template, path.join(outDir, module));
}
