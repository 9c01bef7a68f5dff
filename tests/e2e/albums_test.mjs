// Walks a tree of albums vistrel-batch --albums wrote, from disk, in Debian's Chromium, on a
// phone and on a laptop screen: from the top album's first page down the sub-album cards to a
// picture page, and back up by the breadcrumbs, with axe-core finding no serious or critical
// fault on any page passed and nothing fetched from outside the tree.
//
// Usage: node albums_test.mjs TOP_FOLDER SUB_ALBUM DEEPER_ALBUM [SCREENSHOT_FOLDER]
// With SCREENSHOT_FOLDER the top album's first page on the phone is saved there as
// albums-phone.png.
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { check, chromiumOptions, finish } from './gallery.mjs';

const [topArg, sub, deeper, shotsArg] = process.argv.slice(2);
if (!topArg || !sub || !deeper) {
  console.error('usage: node albums_test.mjs TOP_FOLDER SUB_ALBUM DEEPER_ALBUM');
  process.exit(2);
}
const top = resolve(topArg);
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const topPage = pathToFileURL(join(top, 'Thumb001.html')).href;
const deeperPage = pathToFileURL(join(top, sub, deeper, 'Thumb001.html')).href;

async function axeClean(page, where) {
  await page.addScriptTag({ path: axePath });
  const axe = await page.evaluate(() => window.axe.run(document, { preload: false }));
  const bad = axe.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  check(bad.length === 0, `${where}: axe-core finds no serious or critical violation` +
    bad.map((v) => `\n       ${v.id} (${v.impact}): ${v.help}`).join(''));
}

const browser = await chromium.launch(chromiumOptions);
for (const screen of [
  { name: 'phone', width: 390, height: 844, scale: 3, mobile: true },
  { name: 'desktop', width: 1366, height: 900, scale: 1, mobile: false },
]) {
  const context = await browser.newContext({
    viewport: { width: screen.width, height: screen.height },
    deviceScaleFactor: screen.scale,
    isMobile: screen.mobile,
    hasTouch: screen.mobile,
  });
  const page = await context.newPage();
  page.on('request', (request) => {
    check(request.url().startsWith(pathToFileURL(top).href),
      `${screen.name}: ${request.url()} is inside the tree`);
  });
  await page.goto(topPage, { waitUntil: 'load' });
  if (shotsArg && screen.mobile) {
    await page.evaluate(() => document.fonts.ready);
    const file = join(resolve(shotsArg), 'albums-phone.png');
    await page.screenshot({ path: file, scale: 'css' });
    console.log(`screenshot ${file}`);
  }
  await axeClean(page, `${screen.name}, top album`);
  await page.locator('ul.albums a', { hasText: sub }).click();
  await axeClean(page, `${screen.name}, ${sub}`);
  await page.locator('ul.albums a', { hasText: deeper }).click();
  check(page.url() === deeperPage, `${screen.name}: the cards lead down to ${deeper}`);
  await page.locator('main ul:not(.albums) a').first().click();
  await page.waitForLoadState('load');
  check(page.url().endsWith('.html') && page.url() !== deeperPage,
    `${screen.name}: a picture page opens (${page.url()})`);
  await axeClean(page, `${screen.name}, picture page`);
  const crumbs = await page.locator('nav.crumbs a').allTextContents();
  check(JSON.stringify(crumbs) === JSON.stringify([top.split('/').pop(), sub, deeper]),
    `${screen.name}: the breadcrumbs are ${crumbs.join(' > ')}`);
  await page.locator('nav.crumbs a').first().click();
  check(page.url() === topPage, `${screen.name}: the first breadcrumb leads back to the top`);
  await context.close();
}
await browser.close();
finish('albums_test');
