// Draws a large photo-like picture (soft sky and ground, hills, fine grain) in Chromium and saves
// it as a JPEG, so the browser test has a camera-sized picture without shipping one.
//
// Usage: node make_photo.mjs FILE WIDTH HEIGHT
import { chromium } from 'playwright-core';
import { writeFileSync } from 'node:fs';
import { chromiumOptions } from './gallery.mjs';

const [file, widthArg, heightArg] = process.argv.slice(2);
if (!file || !widthArg || !heightArg) {
  console.error('usage: node make_photo.mjs FILE WIDTH HEIGHT');
  process.exit(2);
}
const browser = await chromium.launch(chromiumOptions);
try {
  const page = await browser.newPage();
  const data = await page.evaluate(([w, h]) => {
    const canvas = document.createElement('canvas');
    canvas.width = w;
    canvas.height = h;
    const g = canvas.getContext('2d');
    const sky = g.createLinearGradient(0, 0, 0, h);
    sky.addColorStop(0, '#3a6ea5');
    sky.addColorStop(0.55, '#f2c68c');
    sky.addColorStop(1, '#4b5d2a');
    g.fillStyle = sky;
    g.fillRect(0, 0, w, h);
    // Hills: layered curves of darker greens.
    let seed = 7;
    const random = () => (seed = (seed * 16807) % 2147483647) / 2147483647;
    for (let layer = 0; layer < 5; ++layer) {
      g.beginPath();
      g.moveTo(0, h);
      for (let x = 0; x <= w; x += w / 40) {
        g.lineTo(x, h * (0.5 + layer * 0.09) + Math.sin(x / w * 9 + layer) * h * 0.05 + random() * h * 0.02);
      }
      g.lineTo(w, h);
      g.fillStyle = `rgb(${40 + layer * 10}, ${90 - layer * 8}, ${40 + layer * 3})`;
      g.fill();
    }
    // Grain, as a camera's sensor leaves it.
    const image = g.getImageData(0, 0, w, h);
    for (let i = 0; i < image.data.length; i += 4) {
      const n = (random() - 0.5) * 24;
      image.data[i] += n;
      image.data[i + 1] += n;
      image.data[i + 2] += n;
    }
    g.putImageData(image, 0, 0);
    return canvas.toDataURL('image/jpeg', 0.92);
  }, [Number(widthArg), Number(heightArg)]);
  writeFileSync(file, Buffer.from(data.split(',')[1], 'base64'));
} finally {
  await browser.close();
}
