'use strict';
// PP-OCRv4 on one frame: the detector (DB) finds text boxes, the
// recogniser reads each straightened box. Both networks run in
// onnxruntime on one thread. Settings as PaddleOCR's defaults for PP-OCRv4:
// detector input at most 960 pixels on its long side, sides multiples of 32,
// ImageNet mean and deviation on the BGR channels in order; recogniser
// input 48 pixels high, at least 320 wide, (x/255 - 0.5)/0.5, one box at
// a time; results scoring under 0.5 dropped. No angle classifier (PaddleOCR
// leaves it off by default).

const path = require('path');
const fs = require('fs');
const { resizeBilinear, cropQuad } = require('./image_ops');
const { boxesFromMap } = require('./db_postprocess');
const { ctcGreedy, characterList } = require('./ctc_decode');

const DET_LIMIT_SIDE = 960;
const DET_MEAN = [0.485, 0.456, 0.406];
const DET_STD = [0.229, 0.224, 0.225];
const REC_HEIGHT = 48;
const REC_MIN_WIDTH = 320;
const DROP_SCORE = 0.5;

// DetResizeForTest, limit type "max".
function detectorSize(width, height) {
  const ratio = Math.max(width, height) > DET_LIMIT_SIDE ? DET_LIMIT_SIDE / Math.max(width, height) : 1;
  const w = Math.max(Math.round(Math.trunc(width * ratio) / 32) * 32, 32);
  const h = Math.max(Math.round(Math.trunc(height * ratio) / 32) * 32, 32);
  return [w, h];
}

function detectorInput(frame) {
  const [w, h] = detectorSize(frame.width, frame.height);
  const img = (w === frame.width && h === frame.height) ? frame : resizeBilinear(frame, w, h);
  const plane = w * h;
  const x = new Float32Array(3 * plane);
  for (let i = 0; i < plane; i++) {
    for (let c = 0; c < 3; c++) {
      x[c * plane + i] = (img.data[i * 3 + c] / 255 - DET_MEAN[c]) / DET_STD[c];
    }
  }
  return { data: x, width: w, height: h };
}

// resize_norm_img for a batch of one crop: the input is 48 high and
// max(320, trunc(48 * aspect)) wide; the crop is resized to 48 high and
// ceil(48 * aspect) wide (at most the input's width), the rest is zeros.
function recogniserWidths(cropW, cropH) {
  const ratio = cropW / cropH;
  const input = Math.max(REC_MIN_WIDTH, Math.trunc(REC_HEIGHT * ratio));
  return { input, resized: Math.max(1, Math.min(Math.ceil(REC_HEIGHT * ratio), input)) };
}

function recogniserInput(crop) {
  const { input: padW, resized: resizedW } = recogniserWidths(crop.width, crop.height);
  const img = resizeBilinear(crop, resizedW, REC_HEIGHT);
  const plane = REC_HEIGHT * padW;
  const x = new Float32Array(3 * plane);
  for (let y = 0; y < REC_HEIGHT; y++) {
    for (let xx = 0; xx < resizedW; xx++) {
      const s = (y * resizedW + xx) * 3;
      for (let c = 0; c < 3; c++) {
        x[c * plane + y * padW + xx] = (img.data[s + c] / 255 - 0.5) / 0.5;
      }
    }
  }
  return { data: x, width: padW };
}

class Pipeline {
  static async create(modulesDir) {
    const ort = require(path.join(modulesDir, 'onnxruntime-node'));
    const assets = path.join(modulesDir, '@gutenye', 'ocr-models', 'assets');
    const opts = { intraOpNumThreads: 1, interOpNumThreads: 1, executionMode: 'sequential' };
    const det = await ort.InferenceSession.create(path.join(assets, 'ch_PP-OCRv4_det_infer.onnx'), opts);
    const rec = await ort.InferenceSession.create(path.join(assets, 'ch_PP-OCRv4_rec_infer.onnx'), opts);
    const chars = characterList(fs.readFileSync(path.join(assets, 'ppocr_keys_v1.txt'), 'utf8'));
    return new Pipeline(ort, det, rec, chars);
  }

  constructor(ort, det, rec, chars) {
    this.ort = ort;
    this.det = det;
    this.rec = rec;
    this.chars = chars;
  }

  // frame: {data: Uint8Array BGR, width, height}; returns [{text, score,
  // points}] in reading order.
  async read(frame) {
    const input = detectorInput(frame);
    const detOut = await this.det.run({
      [this.det.inputNames[0]]: new this.ort.Tensor('float32', input.data, [1, 3, input.height, input.width]),
    });
    const map = detOut[this.det.outputNames[0]];
    const [mapH, mapW] = map.dims.slice(-2);
    const boxes = boxesFromMap(map.data, mapW, mapH, frame.width, frame.height);
    const results = [];
    for (const box of boxes) {
      const crop = cropQuad(frame, box.points);
      if (!crop) continue;
      const x = recogniserInput(crop);
      const recOut = await this.rec.run({
        [this.rec.inputNames[0]]: new this.ort.Tensor('float32', x.data, [1, 3, REC_HEIGHT, x.width]),
      });
      const probs = recOut[this.rec.outputNames[0]];
      const [steps, classes] = probs.dims.slice(-2);
      const { text, score } = ctcGreedy(probs.data, steps, classes, this.chars);
      if (score < DROP_SCORE) continue;
      results.push({ text, score, points: box.points });
    }
    return results;
  }
}

module.exports = { Pipeline, detectorSize, detectorInput, recogniserWidths, recogniserInput };
