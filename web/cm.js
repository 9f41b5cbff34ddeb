// "Find the commercials": the server's commercial finder proposes the programme's stretches
// without its breaks; they replace the list, where they can be changed like any other.
import { longRead, parsePosition, query } from './api.js';
import { t } from './i18n.js';

const button = document.getElementById('btn-cm');
const state = document.getElementById('cm-state');
let missing = false;     // the server has no finder (an older or a smaller build)
let running = null;

// A recording opened: the button where the finder can help.
export function offerCommercials(rec) {
  running?.abort();
  running = null;
  button.hidden = missing || rec.programmes.length === 0;
  button.disabled = false;
  state.textContent = '';
}

// The recording is left: its proposal is no longer waited for.
export function dropCommercials() {
  running?.abort();
  running = null;
}

// "START-END" of a proposal as packets; either end may be left out.
function stretchOf(range, rec) {
  const [start, end] = range.split('-');
  const first = start ? parsePosition(start, rec.size, rec.totalMs) : 0;
  const last = end ? parsePosition(end, rec.size, rec.totalMs) : rec.packets - 1;
  return first === null || last === null || last < first ? null : { first, last };
}

export async function findCommercials(rec, setStretches) {
  running?.abort();
  const mine = new AbortController();
  running = mine;
  const path = rec.path;
  button.disabled = true;
  state.textContent = t('cmRunning', 0);
  try {
    const answer = await longRead(`/api/cm?${query({ path, programme: rec.programme || 1 })}`,
      (percent) => { state.textContent = t('cmRunning', percent ?? 0); }, mine.signal);
    if (mine.signal.aborted || rec.path !== path) return;
    const list = (answer.ranges || []).map((r) => stretchOf(r, rec)).filter(Boolean);
    setStretches(list);
    state.textContent = t('cmDone', list.length);
  } catch (e) {
    if (e.name === 'AbortError') return;
    if ([404, 405, 501].includes(e.status)) {
      missing = true;
      button.hidden = true;
    }
    state.textContent = t('cmFailed', e.message);
  } finally {
    if (running === mine) button.disabled = false;
  }
}
