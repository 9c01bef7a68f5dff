// What both browser tests share: the gallery folder and its pages, the checks and their
// report, and how Debian's Chromium is started.
import { readdirSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

// GALLERY_FOLDER PICTURE_COUNT [more] from the command line; exits 2 without them.
export function galleryFromArgs(usage) {
  const [folderArg, countArg, ...rest] = process.argv.slice(2);
  if (!folderArg || !countArg) {
    console.error(`usage: ${usage}`);
    process.exit(2);
  }
  const folder = resolve(folderArg);
  const pageNames = readdirSync(folder).filter((n) => /^Thumb\d{3,}\.html$/.test(n)).sort();
  const pageUrl = (name) => pathToFileURL(join(folder, name)).href;
  return { folder, pictureCount: Number(countArg), rest, pageNames, pageUrl };
}

const failures = [];
export function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
}

// Exits 0 when every check passed, 1 otherwise.
export function finish(name) {
  if (failures.length > 0) {
    console.log(`${name}: ${failures.length} check(s) failed`);
    process.exit(1);
  }
  console.log(`${name}: all checks passed`);
}

export const chromiumOptions = {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
};
