'use strict';
// The text detector's map to boxes, as PaddleOCR's DBPostProcess (score
// mode "fast") and TextDetector's filtering do: pixels above the
// threshold form regions; each region's minimum-area rectangle is kept when
// its short side is at least 3 and the mean probability inside it at least
// the box threshold; it is grown by area * ratio / perimeter on every side
// (the offset of a rectangle), scaled to the frame, ordered and sorted
// top to bottom, left to right.
//
// Regions are 8-connected components of the thresholded map: the convex hull
// of a component is that of its outer contour, so its minimum-area
// rectangle is the one OpenCV finds from the contour. Holes (which
// cv::findContours with RETR_LIST also lists) are not taken.

const DEFAULTS = {
  threshold: 0.3,
  boxThreshold: 0.6,
  unclipRatio: 1.5,
  maxCandidates: 1000,
  minSize: 3,
};

// Labels the 8-connected components of mask (Uint8Array, w*h); returns for
// each component, in raster order of its first pixel, the leftmost and
// rightmost pixel of every row it covers (enough for its convex hull).
function components(mask, w, h) {
  const label = new Int32Array(w * h).fill(-1);
  const comps = [];
  const stack = [];
  for (let start = 0; start < w * h; start++) {
    if (!mask[start] || label[start] >= 0) continue;
    const id = comps.length;
    const rows = new Map();
    label[start] = id;
    stack.push(start);
    while (stack.length) {
      const p = stack.pop();
      const y = (p / w) | 0, x = p - y * w;
      const r = rows.get(y);
      if (r === undefined) rows.set(y, [x, x]);
      else { if (x < r[0]) r[0] = x; if (x > r[1]) r[1] = x; }
      for (let dy = -1; dy <= 1; dy++) {
        const ny = y + dy;
        if (ny < 0 || ny >= h) continue;
        for (let dx = -1; dx <= 1; dx++) {
          const nx = x + dx;
          if ((dx === 0 && dy === 0) || nx < 0 || nx >= w) continue;
          const q = ny * w + nx;
          if (mask[q] && label[q] < 0) { label[q] = id; stack.push(q); }
        }
      }
    }
    const points = [];
    for (const [y, [x0, x1]] of rows) {
      points.push([x0, y]);
      if (x1 !== x0) points.push([x1, y]);
    }
    comps.push(points);
  }
  return comps;
}

function cross(o, a, b) {
  return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Andrew's monotone chain; collinear points dropped.
function convexHull(points) {
  const p = points.slice().sort((a, b) => a[0] - b[0] || a[1] - b[1]);
  if (p.length <= 2) return p;
  const lower = [];
  for (const q of p) {
    while (lower.length >= 2 && cross(lower[lower.length - 2], lower[lower.length - 1], q) <= 0) lower.pop();
    lower.push(q);
  }
  const upper = [];
  for (let i = p.length - 1; i >= 0; i--) {
    const q = p[i];
    while (upper.length >= 2 && cross(upper[upper.length - 2], upper[upper.length - 1], q) <= 0) upper.pop();
    upper.push(q);
  }
  upper.pop();
  lower.pop();
  return lower.concat(upper);
}

// Minimum-area enclosing rectangle of a point set, by rotating calipers on
// its hull: {center, u (unit axis), halfU, halfV} with the sides 2*halfU
// along u and 2*halfV across.
function minAreaRect(points) {
  const hull = convexHull(points);
  if (hull.length === 1) {
    return { center: hull[0].slice(), u: [1, 0], halfU: 0, halfV: 0 };
  }
  let best = null;
  for (let i = 0; i < hull.length; i++) {
    const a = hull[i], b = hull[(i + 1) % hull.length];
    const len = Math.hypot(b[0] - a[0], b[1] - a[1]);
    if (len === 0) continue;
    const u = [(b[0] - a[0]) / len, (b[1] - a[1]) / len];
    const v = [-u[1], u[0]];
    let minU = Infinity, maxU = -Infinity, minV = Infinity, maxV = -Infinity;
    for (const q of hull) {
      const pu = q[0] * u[0] + q[1] * u[1];
      const pv = q[0] * v[0] + q[1] * v[1];
      if (pu < minU) minU = pu;
      if (pu > maxU) maxU = pu;
      if (pv < minV) minV = pv;
      if (pv > maxV) maxV = pv;
    }
    const area = (maxU - minU) * (maxV - minV);
    if (best === null || area < best.area - 1e-9) {
      const cu = (minU + maxU) / 2, cv = (minV + maxV) / 2;
      best = {
        area,
        center: [cu * u[0] + cv * v[0], cu * u[1] + cv * v[1]],
        u, halfU: (maxU - minU) / 2, halfV: (maxV - minV) / 2,
      };
    }
  }
  return best;
}

function rectCorners(r) {
  const { center: c, u, halfU: a, halfV: b } = r;
  const v = [-u[1], u[0]];
  const out = [];
  for (const [su, sv] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
    out.push([c[0] + su * a * u[0] + sv * b * v[0], c[1] + su * a * u[1] + sv * b * v[1]]);
  }
  return out;
}

// get_mini_boxes' order: corners sorted by x; of the two leftmost the upper
// is the first (top left) and the lower the fourth; of the two rightmost the
// upper is the second and the lower the third.
function orderMiniBox(corners) {
  const p = corners.slice().sort((a, b) => a[0] - b[0]);
  const [tl, bl] = p[1][1] > p[0][1] ? [p[0], p[1]] : [p[1], p[0]];
  const [tr, br] = p[3][1] > p[2][1] ? [p[2], p[3]] : [p[3], p[2]];
  return [tl, tr, br, bl];
}

function insideConvex(poly, x, y) {
  let sign = 0;
  for (let i = 0; i < poly.length; i++) {
    const a = poly[i], b = poly[(i + 1) % poly.length];
    const c = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
    if (c === 0) continue;
    const s = c > 0 ? 1 : -1;
    if (sign === 0) sign = s;
    else if (s !== sign) return false;
  }
  return true;
}

// box_score_fast: mean probability over the pixels of the box polygon
// (corners truncated to whole pixels, as cv::fillPoly is given them).
function boxScoreFast(pred, w, h, box) {
  const xs = box.map((p) => p[0]), ys = box.map((p) => p[1]);
  const xmin = Math.min(Math.max(Math.floor(Math.min(...xs)), 0), w - 1);
  const xmax = Math.min(Math.max(Math.ceil(Math.max(...xs)), 0), w - 1);
  const ymin = Math.min(Math.max(Math.floor(Math.min(...ys)), 0), h - 1);
  const ymax = Math.min(Math.max(Math.ceil(Math.max(...ys)), 0), h - 1);
  const poly = box.map((p) => [Math.trunc(p[0]), Math.trunc(p[1])]);
  let sum = 0, n = 0;
  for (let y = ymin; y <= ymax; y++) {
    for (let x = xmin; x <= xmax; x++) {
      if (insideConvex(poly, x, y)) { sum += pred[y * w + x]; n++; }
    }
  }
  return n ? sum / n : 0;
}

// unclip of a rectangle: the round-joined offset of a rectangle by d has as
// its minimum-area rectangle the rectangle grown by d on every side.
function unclipRect(rect, ratio) {
  const a = 2 * rect.halfU, b = 2 * rect.halfV;
  const perimeter = 2 * (a + b);
  const d = perimeter > 0 ? (a * b * ratio) / perimeter : 0;
  return { center: rect.center, u: rect.u, halfU: rect.halfU + d, halfV: rect.halfV + d };
}

// order_points_clockwise: sorted by x, the left pair by y (tl, bl), the
// right pair by y (tr, br).
function orderClockwise(box) {
  const p = box.slice().sort((a, b) => a[0] - b[0]);
  const left = [p[0], p[1]].sort((a, b) => a[1] - b[1]);
  const right = [p[2], p[3]].sort((a, b) => a[1] - b[1]);
  return [left[0], right[0], right[1], left[1]];
}

// sorted_boxes: by the top-left corner's y then x; neighbours less than
// 10 pixels apart in y are taken as one line and ordered by x.
function sortBoxes(boxes) {
  const b = boxes.slice().sort((p, q) => p.points[0][1] - q.points[0][1] || p.points[0][0] - q.points[0][0]);
  for (let i = 0; i < b.length - 1; i++) {
    for (let j = i; j >= 0; j--) {
      if (Math.abs(b[j + 1].points[0][1] - b[j].points[0][1]) < 10 &&
          b[j + 1].points[0][0] < b[j].points[0][0]) {
        [b[j], b[j + 1]] = [b[j + 1], b[j]];
      } else {
        break;
      }
    }
  }
  return b;
}

// pred: Float32Array (mapW*mapH) of text probabilities; the boxes come in
// the frame's pixels (frameW x frameH) as {points: [tl, tr, br, bl], score}.
function boxesFromMap(pred, mapW, mapH, frameW, frameH, options) {
  const o = Object.assign({}, DEFAULTS, options || {});
  const mask = new Uint8Array(mapW * mapH);
  for (let i = 0; i < mask.length; i++) mask[i] = pred[i] > o.threshold ? 1 : 0;
  const comps = components(mask, mapW, mapH).slice(0, o.maxCandidates);
  const found = [];
  for (const points of comps) {
    const rect = minAreaRect(points);
    if (Math.min(2 * rect.halfU, 2 * rect.halfV) < o.minSize) continue;
    const box = orderMiniBox(rectCorners(rect));
    const score = boxScoreFast(pred, mapW, mapH, box);
    if (score < o.boxThreshold) continue;
    const grown = unclipRect(rect, o.unclipRatio);
    if (Math.min(2 * grown.halfU, 2 * grown.halfV) < o.minSize + 2) continue;
    let out = orderMiniBox(rectCorners(grown)).map(([x, y]) => [
      Math.min(Math.max(Math.round((x / mapW) * frameW), 0), frameW),
      Math.min(Math.max(Math.round((y / mapH) * frameH), 0), frameH),
    ]);
    // TextDetector's filter: clockwise order, clipped inside the frame,
    // both sides longer than 3 pixels.
    out = orderClockwise(out).map(([x, y]) => [
      Math.min(Math.max(x, 0), frameW - 1), Math.min(Math.max(y, 0), frameH - 1)]);
    const rw = Math.trunc(Math.hypot(out[0][0] - out[1][0], out[0][1] - out[1][1]));
    const rh = Math.trunc(Math.hypot(out[0][0] - out[3][0], out[0][1] - out[3][1]));
    if (rw <= 3 || rh <= 3) continue;
    found.push({ points: out, score });
  }
  return sortBoxes(found);
}

module.exports = {
  DEFAULTS, components, convexHull, minAreaRect, rectCorners, orderMiniBox,
  boxScoreFast, unclipRect, orderClockwise, sortBoxes, boxesFromMap,
};
