// The recordings: the roots, a folder's sub-folders and its recordings newest first, each with
// its size, total time, programme names and first picture; a filter by name.
import { ApiError, getJson, hashOf, msText, query, report, sizeText } from './api.js';
import { t } from './i18n.js';

const folderList = document.getElementById('folders');
const recordingList = document.getElementById('recordings');
const filter = document.getElementById('filter');
const empty = document.getElementById('list-empty');
const crumbs = document.getElementById('crumbs');

let showing = 0;        // the folder view asked for last; older answers are dropped
let refresh = null;     // the timer that asks again for recordings still being measured
let rootList = null;

// The roots' names (the first part of every path).
export async function rootNames() {
  if (!rootList) rootList = getJson(`/api/files?${query({ path: '' })}`).then((r) => r.folders.map((f) => f.name));
  try {
    return await rootList;
  } catch (e) {
    rootList = null;
    throw e;
  }
}

function element(tag, props = {}, ...children) {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'dataset') Object.assign(el.dataset, v);
    else if (k in el) el[k] = v;
    else el.setAttribute(k, v);
  }
  el.append(...children);
  return el;
}

// The path's parts as links in the header; the last is the page itself.
export function showCrumbs(path) {
  crumbs.replaceChildren();
  const parts = path ? path.split('/') : [];
  crumbs.append(element('a', { href: '#/', textContent: t('roots'), dataset: { testid: 'crumb' } }));
  parts.forEach((part, i) => {
    const sub = parts.slice(0, i + 1).join('/');
    crumbs.append(' / ');
    if (i === parts.length - 1) crumbs.append(element('span', { textContent: part, 'aria-current': 'page' }));
    else crumbs.append(element('a', { href: hashOf('dir', sub), textContent: part, dataset: { testid: 'crumb' } }));
  });
}

function metaText(r) {
  const bits = [sizeText(r.size)];
  if (r.pending) bits.push(t('measuring'));
  else if (!r.measured) bits.push(t('unmeasured'));
  else bits.push(msText(r.totalMs));
  return bits;
}

function fillMeta(li, r) {
  const [size, total] = metaText(r);
  li.dataset.pending = r.pending ? '1' : '0';
  li.querySelector('.rec-size').textContent = size;
  li.querySelector('.rec-total').textContent = total;
  const channels = r.channels || [];
  const named = (r.programmes || []).map((name, i) => [channels[i], name].filter((part) => part).join(': '));
  li.querySelector('.rec-programmes').textContent = named.filter((name) => name).join(' / ');
}

function recordingRow(folder, r) {
  const path = folder ? `${folder}/${r.name}` : r.name;
  const picture = element('img', {
    className: 'thumb', loading: 'lazy', alt: '', width: 160, height: 90, dataset: { testid: 'recording-thumb' },
    src: `/api/frame?${query({ path, at: 'p:0', width: 160 })}`,
  });
  picture.addEventListener('error', () => picture.classList.add('missing'));
  const li = element('li', { dataset: { testid: 'recording', path } },
    element('a', { href: hashOf('rec', path) }, element('span', { className: 'thumb-box' }, picture),
      element('span', { className: 'rec-name', textContent: r.name })),
    element('div', { className: 'rec-meta' },
      element('span', { className: 'rec-size' }), element('span', { className: 'rec-total' }),
      element('span', { className: 'rec-programmes' })));
  fillMeta(li, r);
  return li;
}

function applyFilter() {
  const words = filter.value.trim().toLowerCase();
  let shown = 0;
  for (const li of recordingList.children) {
    li.hidden = words !== '' && !li.dataset.path.toLowerCase().split('/').pop().includes(words);
    if (!li.hidden) ++shown;
  }
  for (const li of folderList.children) {
    li.hidden = words !== '' && !li.dataset.path.toLowerCase().split('/').pop().includes(words);
    if (!li.hidden) ++shown;
  }
  empty.hidden = shown > 0;
  empty.textContent = recordingList.children.length || folderList.children.length ? t('noMatch') : t('emptyFolder');
}

filter.addEventListener('input', applyFilter);

// Asks again for the recordings still being measured and fills in what has become known.
async function refreshPending(path, token) {
  refresh = null;
  let answer;
  try {
    answer = await getJson(`/api/files?${query({ path })}`);
  } catch {
    return;
  }
  if (token !== showing) return;
  for (const r of answer.recordings) {
    const li = [...recordingList.children].find((el) => el.dataset.path === (path ? `${path}/${r.name}` : r.name));
    if (li) fillMeta(li, r);
  }
  applyFilter();
  if (answer.recordings.some((r) => r.pending)) refresh = setTimeout(() => refreshPending(path, token), 2000);
}

export async function showFolder(path) {
  const token = ++showing;
  document.title = t('title');
  clearTimeout(refresh);
  showCrumbs(path);
  let answer;
  try {
    answer = await getJson(`/api/files?${query({ path })}`);
  } catch (e) {
    if (token === showing && e instanceof ApiError && e.status !== 401) report(t('error', e.message));
    return;
  }
  if (token !== showing) return;
  if (!path && answer.folders.length === 1) {
    location.replace(hashOf('dir', answer.folders[0].name));
    return;
  }
  const byNewest = (a, b) => (b.modifiedMs || 0) - (a.modifiedMs || 0) || a.name.localeCompare(b.name);
  const folders = path ? [...answer.folders].sort(byNewest) : answer.folders;
  folderList.replaceChildren(...folders.map((f) => {
    const sub = path ? `${path}/${f.name}` : f.name;
    return element('li', { dataset: { testid: 'folder', path: sub } },
      element('a', { href: hashOf('dir', sub), textContent: `${f.name}/` }));
  }));
  recordingList.replaceChildren(...[...answer.recordings].sort(byNewest).map((r) => recordingRow(path, r)));
  applyFilter();
  document.getElementById('list-view').dataset.path = path;
  if (answer.recordings.some((r) => r.pending)) refresh = setTimeout(() => refreshPending(path, token), 2000);
}

// Leaving the list: nothing more is asked for.
export function leaveList() {
  ++showing;
  clearTimeout(refresh);
}
