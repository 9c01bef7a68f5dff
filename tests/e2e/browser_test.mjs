// Opens a gallery that vistrel-batch wrote, from disk, in Debian's Chromium and checks what a
// visitor meets: every thumbnail loads at its recorded size, Next, Last and Home lead where they
// say, and a thumbnail's link opens the full picture.
//
// Usage: node browser_test.mjs GALLERY_FOLDER PICTURE_COUNT
// Exits 0 when every check passed, 1 with the failed checks listed otherwise.
import { chromium } from 'playwright-core';
import { existsSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import {
  check, checkSchemeLikeLinks, chromiumOptions, finish, galleryFromArgs, schemeLikeNames,
} from './gallery.mjs';

const { folder, pictureCount, pageNames, pageUrl } =
  galleryFromArgs('node browser_test.mjs GALLERY_FOLDER PICTURE_COUNT');

// The thumbnails of the page shown: every one complete, decoded, and at the size the page
// gives for it. Returns how many there were.
async function checkThumbnails(page, pageName) {
  const images = await page.$$eval('img', (imgs) =>
    imgs.map((img) => ({
      src: img.getAttribute('src'),
      complete: img.complete,
      natural: `${img.naturalWidth}x${img.naturalHeight}`,
      given: `${img.getAttribute('width')}x${img.getAttribute('height')}`,
    })),
  );
  for (const img of images) {
    check(
      img.complete && img.natural === img.given && img.natural !== '0x0',
      `${pageName}: thumbnail ${img.src} loaded at ${img.natural}, the ${img.given} the page says`,
    );
  }
  return images.length;
}

async function clickLink(page, label, expectedPage) {
  const link = page.getByRole('link', { name: label, exact: true });
  check((await link.count()) === 1, `${pageName(page)}: one "${label}" link`);
  await Promise.all([page.waitForURL(pageUrl(expectedPage)), link.click()]);
  await page.waitForLoadState('load');
  check(pageName(page) === expectedPage, `"${label}" leads to ${expectedPage}`);
}

function pageName(page) {
  return decodeURIComponent(new URL(page.url()).pathname.split('/').pop());
}

const userDataDir = mkdtempSync(join(tmpdir(), 'vistrel-chromium-'));
let context;
try {
  context = await chromium.launchPersistentContext(userDataDir, chromiumOptions);
  const page = context.pages()[0] ?? (await context.newPage());
  page.on('requestfailed', (request) => {
    check(false, `request ${request.url()} failed: ${request.failure()?.errorText}`);
  });
  page.on('response', (response) => {
    // file:// answers carry status 0; anything else must not be an error.
    if (response.status() >= 400) {
      check(false, `request ${response.url()} answered ${response.status()}`);
    }
  });

  check(pageNames.length >= 3, `the gallery has at least three pages (${pageNames.length})`);
  const first = pageNames[0];
  const last = pageNames[pageNames.length - 1];
  check(first === 'Thumb001.html', 'the first page is Thumb001.html');

  await page.goto(pageUrl(first), { waitUntil: 'load' });
  await clickLink(page, 'Next', pageNames[1]);
  await clickLink(page, '|Last', last);
  check(
    (await page.getByRole('link', { name: 'Next', exact: true }).count()) === 0,
    `${last}: Next is plain text on the last page`,
  );
  await clickLink(page, 'Home', first);

  // The full picture behind the first thumbnail.
  const pictureLink = page.locator('a:has(img)').first();
  const pictureName = decodeURIComponent(await pictureLink.getAttribute('href'));
  await Promise.all([page.waitForURL(pathToFileURL(join(folder, pictureName)).href), pictureLink.click()]);
  await page.waitForLoadState('load');
  const picture = await page.$eval('img', (img) => ({
    complete: img.complete,
    width: img.naturalWidth,
    height: img.naturalHeight,
  }));
  check(
    picture.complete && picture.width > 0 && picture.height > 0,
    `the full picture ${pictureName} opens (${picture.width}x${picture.height})`,
  );

  // Every thumbnail of the gallery, page by page, and every picture link as the browser
  // resolves it: a name with a backslash or blanks at its start must still reach its file.
  let thumbnails = 0;
  const linked = new Set();
  for (const name of pageNames) {
    await page.goto(pageUrl(name), { waitUntil: 'load' });
    thumbnails += await checkThumbnails(page, name);
    const targets = await page.$$eval('a:has(img)', (links) => links.map((a) => a.href));
    for (const target of targets) {
      const file = fileURLToPath(target);
      linked.add(file);
      check(existsSync(file), `${name}: the link ${target} leads to a picture`);
    }
  }
  check(thumbnails === pictureCount, `${thumbnails} thumbnails shown for ${pictureCount} pictures`);
  await checkSchemeLikeLinks(page, folder, pageNames, pageUrl, 'classic');
  for (const odd of ['back\\slash.jpg', '  lead blank.jpg', ...schemeLikeNames]) {
    if (readdirSync(folder).includes(odd)) {
      check(linked.has(join(folder, odd)), `"${odd}" is linked by its own name`);
    }
  }
} catch (error) {
  check(false, `browser run: ${error.message}`);
} finally {
  await context?.close();
  rmSync(userDataDir, { recursive: true, force: true });
}

finish('browser test');
