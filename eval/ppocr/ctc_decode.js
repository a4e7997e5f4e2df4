'use strict';
// Greedy CTC decoding of the recogniser's output, as PaddleOCR's
// CTCLabelDecode: the best class of every step, repeats merged, the blank
// (class 0) dropped; the score is the mean probability of the kept steps
// (0 when none is kept). Class i > 0 is characters[i - 1].

function ctcGreedy(probs, steps, classes, characters) {
  let text = '';
  let sum = 0;
  let kept = 0;
  let prev = -1;
  for (let t = 0; t < steps; t++) {
    const base = t * classes;
    let best = 0;
    let bestP = probs[base];
    for (let c = 1; c < classes; c++) {
      if (probs[base + c] > bestP) { bestP = probs[base + c]; best = c; }
    }
    if (best !== 0 && best !== prev) {
      text += best - 1 < characters.length ? characters[best - 1] : '';
      sum += bestP;
      kept++;
    }
    prev = best;
  }
  return { text, score: kept ? sum / kept : 0 };
}

// The recogniser's classes past the blank: the dictionary's lines, then the
// space (use_space_char).
function characterList(dictionaryText) {
  const lines = dictionaryText.split('\n').map((l) => l.replace(/\r$/, ''));
  if (lines.length && lines[lines.length - 1] === '') lines.pop();
  return lines.concat([' ']);
}

module.exports = { ctcGreedy, characterList };
