// What the browser tests share: the gallery folder and its pages, the checks and their
// report, how Debian's Chromium is started and a page opened as a given screen.
import { readdirSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

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

// A page in a new context that is `screen` (size, device scale, touch, light or dark colours);
// any request that leaves the folder fails a check. Close the context when done.
export async function newScreenPage(browser, screen) {
  const context = await browser.newContext({
    viewport: { width: screen.width, height: screen.height },
    deviceScaleFactor: screen.scale,
    isMobile: screen.mobile,
    hasTouch: screen.mobile,
    colorScheme: screen.dark ? 'dark' : 'light',
  });
  const page = await context.newPage();
  page.on('request', (request) => {
    if (!request.url().startsWith('file://')) {
      check(false, `${screen.name}: request outside the folder: ${request.url()}`);
    }
  });
  return { context, page };
}

// Names that read as an address with a scheme unless the page encodes them; run-browser-test
// puts a copy of a picture under each.
export const schemeLikeNames = ['javascript:alert(1).jpg', 'Photo: beach.jpg'];

// Follows each scheme-like name's picture link from the page that shows it: it must open the
// file beside the page named by the picture's name and `suffix` (the picture itself, or its
// picture page with ".html"), and no script may run (a dialog fails the check).
export async function checkSchemeLikeLinks(page, folder, pageNames, pageUrl, tag, suffix = '') {
  page.on('dialog', async (dialog) => {
    check(false, `${tag}: a link ran script ("${dialog.message()}")`);
    await dialog.dismiss();
  });
  for (const name of schemeLikeNames) {
    let opened = false;
    for (const pageName of pageNames) {
      await page.goto(pageUrl(pageName), { waitUntil: 'load' });
      const link = page.locator('a:has(img)', { hasText: name });
      if ((await link.count()) !== 1) continue;
      await link.click();
      await page.waitForLoadState('load');
      const url = new URL(page.url());
      const reached = url.protocol === 'file:' && fileURLToPath(url) === join(folder, name + suffix);
      const loaded = reached && (await page.$eval('img', (img) => img.naturalWidth > 0));
      check(loaded, `${tag}: the link of "${name}" opens ${name}${suffix} (${page.url()})`);
      opened = true;
      break;
    }
    check(opened, `${tag}: a page links "${name}"`);
  }
}
