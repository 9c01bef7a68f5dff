// Opens a modern-style gallery that vistrel-batch wrote, from disk, in Debian's Chromium, on a
// phone (390 x 844 at device scale 3, light and dark) and on a laptop screen (1366 x 900, at
// scale 1 and 2), and checks what a visitor meets: no sideways scrolling, every thumbnail
// loads and is sharp on a dense screen, a thumbnail opens its picture's page, the title, the
// introduction and each caption (also as alt text) are there, navigation targets are big enough for a finger, the
// arrow keys turn pages, nothing is fetched from outside the folder, and axe-core finds no
// serious or critical fault.
//
// Usage: node modern_test.mjs GALLERY_FOLDER PICTURE_COUNT [SCREENSHOT_FOLDER]
// With SCREENSHOT_FOLDER the first page is saved there as modern-phone.png and
// modern-desktop.png (both in CSS pixels). Exits 0 when every check passed, 1 otherwise.
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import {
  check, checkSchemeLikeLinks, chromiumOptions, finish, galleryFromArgs, newScreenPage,
} from './gallery.mjs';

const { folder, pictureCount, rest: [shotsArg], pageNames, pageUrl } = galleryFromArgs(
  'node modern_test.mjs GALLERY_FOLDER PICTURE_COUNT [SCREENSHOT_FOLDER]');
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

const screens = [
  { name: 'phone', width: 390, height: 844, scale: 3, mobile: true, shot: true },
  { name: 'desktop', width: 1366, height: 900, scale: 1, mobile: false, shot: true },
  { name: 'desktop', width: 1366, height: 900, scale: 2, mobile: false, shot: false },
  // The dark colours get their own contrast check.
  { name: 'phone, dark', width: 390, height: 844, scale: 3, mobile: true, shot: false, dark: true },
];

// Every thumbnail brought into view (they load lazily from the second row), then measured:
// loaded, its CSS size, and the pixels of the file the browser chose for this screen.
async function measureThumbnails(page) {
  return page.evaluate(async () => {
    const out = [];
    for (const img of document.querySelectorAll('main img')) {
      img.scrollIntoView({ block: 'center' });
      for (let waited = 0; !(img.complete && img.naturalWidth > 0) && waited < 5000; waited += 50) {
        await new Promise((done) => setTimeout(done, 50));
      }
      // naturalWidth is divided by the srcset density; a plain Image gives the file's pixels.
      const probe = new Image();
      probe.src = img.currentSrc;
      await probe.decode().catch(() => {});
      const box = img.getBoundingClientRect();
      out.push({
        src: img.currentSrc.split('/').pop(),
        loaded: img.complete && img.naturalWidth > 0,
        cssWidth: box.width,
        fileWidth: probe.naturalWidth,
      });
    }
    window.scrollTo(0, 0);
    return out;
  });
}

// The title heads the page, the introduction opens the first, and each thumbnail's alt text is
// the caption shown under it; the hand-written caption that looks like markup stays text.
async function checkWords(page, where, first) {
  const words = await page.evaluate(() => ({
    heading: document.querySelector('h1')?.textContent,
    title: document.title,
    intro: [...document.querySelectorAll('.intro')].map((p) => p.textContent),
    cells: [...document.querySelectorAll('main li')].map((li) => ({
      alt: li.querySelector('img').alt,
      shown: li.querySelector('span').textContent,
    })),
    ran: window.captionRan,
  }));
  check(words.heading === 'Summer in Crete' && words.title.startsWith('Summer in Crete, page '),
    `${where}: the title heads the page ("${words.heading}", "${words.title}")`);
  const intro = first ? ['Two weeks in July on the north coast.', 'Photos by Ana & Sam.'] : [];
  check(JSON.stringify(words.intro) === JSON.stringify(intro),
    `${where}: the introduction is ${JSON.stringify(words.intro)}`);
  for (const cell of words.cells) {
    check(cell.alt !== '' && cell.alt === cell.shown,
      `${where}: alt "${cell.alt}" is the caption shown, "${cell.shown}"`);
  }
  const written = 'Waterfall "falls" <script>window.captionRan=1</script>';
  if (words.cells.some((cell) => cell.alt.startsWith('Waterfall'))) {
    check(words.cells.some((cell) => cell.alt === written), `${where}: the written caption is text`);
  }
  check(words.ran === undefined, `${where}: no caption ran as script`);
}

async function checkScreen(browser, screen) {
  const { context, page } = await newScreenPage(browser, screen);
  page.on('requestfailed', (request) => {
    // A lazy thumbnail still loading when the test moves to the next page is aborted by the
    // browser; every thumbnail is checked as loaded on its own page below.
    const error = request.failure()?.errorText;
    if (error !== 'net::ERR_ABORTED') {
      check(false, `${screen.name}: request ${request.url()} failed: ${error}`);
    }
  });
  const tag = `${screen.name} ${screen.width}x${screen.height}@${screen.scale}`;

  let thumbnails = 0;
  for (const name of pageNames) {
    await page.goto(pageUrl(name), { waitUntil: 'load' });
    const where = `${tag} ${name}`;
    const scroll = await page.evaluate(() => ({
      content: document.documentElement.scrollWidth,
      view: document.documentElement.clientWidth,
    }));
    check(scroll.content <= scroll.view, `${where}: no sideways scrolling (${scroll.content} <= ${scroll.view})`);

    for (const img of await measureThumbnails(page)) {
      ++thumbnails;
      check(img.loaded, `${where}: ${img.src} loaded`);
      if (screen.scale >= 2) {
        const density = img.fileWidth / img.cssWidth;
        check(density >= 2, `${where}: ${img.src} has ${density.toFixed(2)} pixels per CSS pixel`);
      }
    }

    const targets = await page.$$eval('nav a', (links) =>
      links.map((a) => {
        const box = a.getBoundingClientRect();
        return { text: a.textContent, width: box.width, height: box.height };
      }),
    );
    check(targets.length > 0, `${where}: the navigation has links`);
    for (const t of targets) {
      check(
        t.width >= 44 && t.height >= 44,
        `${where}: "${t.text}" is ${Math.round(t.width)}x${Math.round(t.height)}, at least 44x44`,
      );
    }

    await checkWords(page, where, name === pageNames[0]);

    await page.addScriptTag({ path: axePath });
    // No preload: it fetches the style sheet again by XHR, which file:// pages may not do.
    const axe = await page.evaluate(() => window.axe.run(document, { preload: false }));
    const bad = axe.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
    check(bad.length === 0, `${where}: axe-core finds no serious or critical violation` +
      bad.map((v) => `\n       ${v.id} (${v.impact}): ${v.help}`).join(''));
  }
  check(thumbnails === pictureCount, `${tag}: ${thumbnails} thumbnails shown for ${pictureCount} pictures`);

  // The arrow keys follow Next and Previous; they do nothing where there is no such page.
  await page.goto(pageUrl(pageNames[0]), { waitUntil: 'load' });
  await page.keyboard.press('ArrowLeft');
  await page.waitForTimeout(200);
  check(page.url() === pageUrl(pageNames[0]), `${tag}: ArrowLeft on the first page stays there`);
  for (const [key, to] of [['ArrowRight', pageNames[1]], ['ArrowLeft', pageNames[0]]]) {
    // waitForURL throws after its timeout when the key does not lead there.
    await Promise.all([page.waitForURL(pageUrl(to), { waitUntil: 'load' }), page.keyboard.press(key)]);
    check(page.url() === pageUrl(to), `${tag}: ${key} leads to ${to}`);
  }

  if (screen.name === 'phone') {
    await checkSchemeLikeLinks(page, folder, pageNames, pageUrl, tag, '.html');
  }

  if (shotsArg && screen.shot) {
    await page.goto(pageUrl(pageNames[0]), { waitUntil: 'load' });
    await page.evaluate(() => document.fonts.ready);
    const file = join(resolve(shotsArg), `modern-${screen.name}.png`);
    await page.screenshot({ path: file, scale: 'css' });
    console.log(`screenshot ${file}`);
  }
  await context.close();
}

let browser;
try {
  check(pageNames.length >= 2, `the gallery has at least two pages (${pageNames.length})`);
  browser = await chromium.launch(chromiumOptions);
  for (const screen of screens) {
    await checkScreen(browser, screen);
  }
} catch (error) {
  check(false, `browser run: ${error.message}`);
} finally {
  await browser?.close();
}

finish('modern browser test');
