// Opens the picture page of a large photo in a modern gallery vistrel-batch wrote, from disk, in
// Debian's Chromium, and checks what a visitor pays and meets: on a phone (390 x 844, scale 3)
// and a laptop screen (1366 x 900, scale 1) the picture's bytes are a display copy's, never the
// original's, and under 450 KB; at scale 2 the copy gives at least 1.5 device pixels per CSS
// pixel (or the whole picture); the picture fits the window without scrolling; nothing is
// fetched from outside the folder; axe-core finds no serious or critical fault; the arrow keys,
// Escape and a swipe lead where the links do.
//
// Usage: node picture_test.mjs GALLERY_FOLDER PHOTO_NAME [SCREENSHOT_FOLDER]
// With SCREENSHOT_FOLDER the photo's page on the phone is saved there as picture-phone.png.
import { chromium } from 'playwright-core';
import { statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { basename, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { check, chromiumOptions, finish, newScreenPage } from './gallery.mjs';

const [folderArg, photo, shotsArg] = process.argv.slice(2);
if (!folderArg || !photo) {
  console.error('usage: node picture_test.mjs GALLERY_FOLDER PHOTO_NAME [SCREENSHOT_FOLDER]');
  process.exit(2);
}
const folder = resolve(folderArg);
const urlOf = (name) => pathToFileURL(join(folder, name)).href;
const photoPage = urlOf(`${photo}.html`);
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const byteLimit = 450 * 1024;

const screens = [
  { name: 'phone', width: 390, height: 844, scale: 3, mobile: true },
  { name: 'desktop', width: 1366, height: 900, scale: 1, mobile: false },
  { name: 'desktop', width: 1366, height: 900, scale: 2, mobile: false },
  // The dark colours get their own contrast check.
  { name: 'phone, dark', width: 390, height: 844, scale: 3, mobile: true, dark: true },
];

// The screen's page, and every picture file it fetches.
async function newPage(browser, screen) {
  const { context, page } = await newScreenPage(browser, screen);
  const images = new Set();
  page.on('request', (request) => {
    if (request.url().startsWith('file://') && request.resourceType() === 'image') {
      images.add(fileURLToPath(request.url()));
    }
  });
  return { context, page, images };
}

// The picture as shown: the file the browser chose, its pixels, and the CSS pixels it is drawn
// at (object-fit: contain draws it inside the element's box).
async function shownPicture(page) {
  return page.$eval('main img', async (img) => {
    await img.decode().catch(() => {});
    const probe = new Image();
    probe.src = img.currentSrc;
    await probe.decode().catch(() => {});
    const box = img.getBoundingClientRect();
    const fit = Math.min(box.width / probe.naturalWidth, box.height / probe.naturalHeight);
    const root = document.documentElement;
    return {
      file: decodeURIComponent(img.currentSrc.split('/').pop()),
      fileWidth: probe.naturalWidth,
      cssWidth: probe.naturalWidth * fit,
      inside: box.top >= 0 && box.left >= 0 && box.bottom <= innerHeight && box.right <= innerWidth,
      scrolls: root.scrollHeight > root.clientHeight || root.scrollWidth > root.clientWidth,
      pictureWidth: Number(document.querySelector('main p').textContent.split('\u00d7')[0]),
    };
  });
}

async function checkScreen(browser, screen) {
  const tag = `${screen.name} ${screen.width}x${screen.height}@${screen.scale}`;
  const { context, page, images } = await newPage(browser, screen);
  await page.goto(photoPage, { waitUntil: 'load' });
  const shown = await shownPicture(page);
  check(shown.file !== photo && /@view/.test(shown.file), `${tag}: shows a display copy (${shown.file})`);
  const loaded = [...images].filter((file) => basename(file) !== 'vistrel.css');
  const bytes = loaded.reduce((sum, file) => sum + statSync(file).size, 0);
  check(!loaded.some((file) => basename(file) === photo), `${tag}: the original is not fetched`);
  check(bytes > 0 && bytes < byteLimit,
    `${tag}: ${bytes} bytes of pictures (${loaded.map((f) => basename(f)).join(', ')}), under ${byteLimit}`);
  if (screen.scale === 2) {
    const density = shown.fileWidth / shown.cssWidth;
    check(density >= 1.5 || shown.fileWidth >= shown.pictureWidth,
      `${tag}: ${density.toFixed(2)} device pixels per CSS pixel from ${shown.fileWidth} pixels`);
  }
  check(!shown.scrolls && shown.inside, `${tag}: the picture fits the window without scrolling`);

  // The caption written for the photo heads its page and is its alt text.
  const caption = 'Elephants at the water hole';
  const words = await page.evaluate(() => ({
    heading: document.querySelector('h1').textContent,
    alt: document.querySelector('main img').alt,
    place: document.querySelector('main p').textContent,
    ran: window.captionRan,
  }));
  check(words.heading === caption && words.alt === caption && words.ran === undefined,
    `${tag}: the caption heads the page and is the alt text ("${words.heading}", "${words.alt}")`);
  check(/^Summer in Crete: \d+ of \d+, /.test(words.place), `${tag}: "${words.place}" tells the place`);

  await page.addScriptTag({ path: axePath });
  const axe = await page.evaluate(() => window.axe.run(document, { preload: false }));
  const bad = axe.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  check(bad.length === 0, `${tag}: axe-core finds no serious or critical violation` +
    bad.map((v) => `\n       ${v.id} (${v.impact}): ${v.help}`).join(''));

  if (shotsArg && screen.mobile && !screen.dark) {
    const file = join(resolve(shotsArg), 'picture-phone.png');
    await page.screenshot({ path: file, scale: 'css' });
    console.log(`screenshot ${file}`);
  }
  await context.close();
}

// Where the page's link `selector` leads, as an address.
async function target(page, selector) {
  return page.$eval(selector, (a) => a.href);
}

// `act` must take the page from the photo's page to where its link `selector` leads.
async function checkLeadsTo(page, what, selector, act) {
  await page.goto(photoPage, { waitUntil: 'load' });
  const to = await target(page, selector);
  await Promise.all([page.waitForURL(to, { waitUntil: 'load', timeout: 5000 }), act()]);
  check(page.url() === to, `${what} leads to ${decodeURIComponent(to.split('/').pop())}`);
}

// The copy fetched ahead is the one the next picture's page shows first.
async function checkFetchedAhead(page) {
  await page.goto(photoPage, { waitUntil: 'load' });
  const ahead = await page.$eval('link[rel=prefetch]', (link) => link.getAttribute('href'));
  await page.goto(await target(page, 'a[rel=next]'), { waitUntil: 'load' });
  const shown = await page.$eval('main img', (img) => img.getAttribute('src'));
  check(ahead === shown, `the next picture's copy is fetched ahead (${ahead}, shown ${shown})`);
}

async function checkKeysAndSwipes(browser) {
  const desktop = await newPage(browser, screens[1]);
  await checkFetchedAhead(desktop.page);
  for (const [key, selector] of [['ArrowRight', 'a[rel=next]'], ['ArrowLeft', 'a[rel=prev]'],
    ['Escape', '#back']]) {
    await checkLeadsTo(desktop.page, key, selector, () => desktop.page.keyboard.press(key));
  }
  check(/#p\d+$/.test(desktop.page.url()), `Escape lands at the picture's thumbnail (${desktop.page.url()})`);
  check((await desktop.page.$$eval(`li[id="${desktop.page.url().split('#')[1]}"] a`,
    (links) => links.map((a) => a.getAttribute('href')))).includes(encodeURI(`${photo}.html`)),
  'the thumbnail there links the photo\'s page');
  await desktop.context.close();

  const phone = await newPage(browser, screens[0]);
  const cdp = await phone.context.newCDPSession(phone.page);
  const swipe = async (fromX, toX) => {
    const y = 400;
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: fromX, y }] });
    for (let step = 1; step <= 5; ++step) {
      const x = fromX + ((toX - fromX) * step) / 5;
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x, y }] });
    }
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  await checkLeadsTo(phone.page, 'a swipe to the right', 'a[rel=prev]', () => swipe(80, 300));
  await checkLeadsTo(phone.page, 'a swipe to the left', 'a[rel=next]', () => swipe(300, 80));
  // A tap is no swipe.
  await phone.page.goto(photoPage, { waitUntil: 'load' });
  await swipe(200, 205);
  await phone.page.waitForTimeout(300);
  check(phone.page.url() === photoPage, 'a tap stays on the page');
  await phone.context.close();
}

let browser;
try {
  browser = await chromium.launch(chromiumOptions);
  for (const screen of screens) {
    await checkScreen(browser, screen);
  }
  await checkKeysAndSwipes(browser);
} catch (error) {
  check(false, `browser run: ${error.message}`);
} finally {
  await browser?.close();
}

finish('picture page browser test');
