'use strict';
// Image operations the PP-OCR pipeline needs, on interleaved 8-bit BGR
// frames ({data, width, height}, channels 3): bilinear resize with
// OpenCV's pixel-centre convention, and the perspective cut of a text box
// (bicubic, borders replicated) the recogniser reads.

function clampInt(v, lo, hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// Bilinear resize (cv::INTER_LINEAR's geometry: source = (dst + 0.5) * scale - 0.5).
function resizeBilinear(img, dw, dh) {
  const { data, width: sw, height: sh } = img;
  const out = new Uint8Array(dw * dh * 3);
  const sx = sw / dw;
  const sy = sh / dh;
  const x0s = new Int32Array(dw);
  const x1s = new Int32Array(dw);
  const fxs = new Float32Array(dw);
  for (let x = 0; x < dw; x++) {
    let fx = (x + 0.5) * sx - 0.5;
    if (fx < 0) fx = 0;
    let ix = Math.floor(fx);
    if (ix >= sw - 1) { ix = sw - 1; fx = ix; }
    x0s[x] = ix * 3;
    x1s[x] = Math.min(ix + 1, sw - 1) * 3;
    fxs[x] = fx - ix;
  }
  for (let y = 0; y < dh; y++) {
    let fy = (y + 0.5) * sy - 0.5;
    if (fy < 0) fy = 0;
    let iy = Math.floor(fy);
    if (iy >= sh - 1) { iy = sh - 1; fy = iy; }
    const wy = fy - iy;
    const r0 = iy * sw * 3;
    const r1 = Math.min(iy + 1, sh - 1) * sw * 3;
    let o = y * dw * 3;
    for (let x = 0; x < dw; x++) {
      const a = x0s[x], b = x1s[x], wx = fxs[x];
      for (let c = 0; c < 3; c++) {
        const top = data[r0 + a + c] * (1 - wx) + data[r0 + b + c] * wx;
        const bot = data[r1 + a + c] * (1 - wx) + data[r1 + b + c] * wx;
        out[o++] = clampInt(Math.round(top * (1 - wy) + bot * wy), 0, 255);
      }
    }
  }
  return { data: out, width: dw, height: dh };
}

// The homography taking the four `from` points to the four `to` points
// (row-major 3x3, h33 = 1), by Gaussian elimination on the 8x8 system.
function homography(from, to) {
  const A = [];
  for (let i = 0; i < 4; i++) {
    const [x, y] = from[i];
    const [u, v] = to[i];
    A.push([x, y, 1, 0, 0, 0, -u * x, -u * y, u]);
    A.push([0, 0, 0, x, y, 1, -v * x, -v * y, v]);
  }
  for (let col = 0; col < 8; col++) {
    let pivot = col;
    for (let r = col + 1; r < 8; r++) {
      if (Math.abs(A[r][col]) > Math.abs(A[pivot][col])) pivot = r;
    }
    if (Math.abs(A[pivot][col]) < 1e-12) throw new Error('degenerate quadrilateral');
    [A[col], A[pivot]] = [A[pivot], A[col]];
    for (let r = 0; r < 8; r++) {
      if (r === col) continue;
      const f = A[r][col] / A[col][col];
      if (f === 0) continue;
      for (let c = col; c < 9; c++) A[r][c] -= f * A[col][c];
    }
  }
  const h = [];
  for (let i = 0; i < 8; i++) h.push(A[i][8] / A[i][i]);
  h.push(1);
  return h;
}

function cubicWeights(t) {
  // Keys' kernel with a = -0.75, as OpenCV's INTER_CUBIC.
  const a = -0.75;
  const w = new Array(4);
  const x0 = 1 + t, x1 = t, x2 = 1 - t, x3 = 2 - t;
  w[0] = ((a * x0 - 5 * a) * x0 + 8 * a) * x0 - 4 * a;
  w[1] = ((a + 2) * x1 - (a + 3)) * x1 * x1 + 1;
  w[2] = ((a + 2) * x2 - (a + 3)) * x2 * x2 + 1;
  w[3] = 1 - w[0] - w[1] - w[2];
  return w;
}

function norm(p, q) {
  return Math.hypot(p[0] - q[0], p[1] - q[1]);
}

// PaddleOCR's get_rotate_crop_image: the box (tl, tr, br, bl) straightened
// to a (max top/bottom length) x (max left/right length) picture; a box at
// least 1.5 times taller than wide is turned a quarter (text written down).
function cropQuad(img, quad) {
  const w = Math.trunc(Math.max(norm(quad[0], quad[1]), norm(quad[2], quad[3])));
  const h = Math.trunc(Math.max(norm(quad[0], quad[3]), norm(quad[1], quad[2])));
  if (w < 1 || h < 1) return null;
  // destination pixel -> source point
  const H = homography([[0, 0], [w, 0], [w, h], [0, h]], quad);
  const { data, width: sw, height: sh } = img;
  const out = new Uint8Array(w * h * 3);
  for (let y = 0; y < h; y++) {
    for (let x = 0; x < w; x++) {
      const d = H[6] * x + H[7] * y + H[8];
      const sx = (H[0] * x + H[1] * y + H[2]) / d;
      const sy = (H[3] * x + H[4] * y + H[5]) / d;
      const ix = Math.floor(sx), iy = Math.floor(sy);
      const wx = cubicWeights(sx - ix), wy = cubicWeights(sy - iy);
      for (let c = 0; c < 3; c++) {
        let acc = 0;
        for (let j = 0; j < 4; j++) {
          const row = clampInt(iy - 1 + j, 0, sh - 1) * sw;
          let racc = 0;
          for (let i = 0; i < 4; i++) {
            racc += wx[i] * data[(row + clampInt(ix - 1 + i, 0, sw - 1)) * 3 + c];
          }
          acc += wy[j] * racc;
        }
        out[(y * w + x) * 3 + c] = clampInt(Math.round(acc), 0, 255);
      }
    }
  }
  let crop = { data: out, width: w, height: h };
  if (h / w >= 1.5) crop = rotate90(crop);
  return crop;
}

// np.rot90 (counter-clockwise quarter turn).
function rotate90(img) {
  const { data, width: w, height: h } = img;
  const out = new Uint8Array(w * h * 3);
  for (let y = 0; y < h; y++) {
    for (let x = 0; x < w; x++) {
      const ny = w - 1 - x, nx = y;
      for (let c = 0; c < 3; c++) out[(ny * h + nx) * 3 + c] = data[(y * w + x) * 3 + c];
    }
  }
  return { data: out, width: h, height: w };
}

module.exports = { resizeBilinear, homography, cropQuad, rotate90 };
