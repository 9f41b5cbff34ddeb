// The page's words in Japanese (the default) and English. Elements name their text with
// data-i18n (text), data-i18n-label (aria-label), data-i18n-title, data-i18n-alt and
// data-i18n-placeholder; code asks t(key, ...).

const words = {
  ja: {
    title: 'KerfCut — 録画のカット',
    language: '表示言語',
    recordings: '録画',
    roots: 'フォルダー',
    filter: '名前で絞り込む',
    filterLabel: '録画を名前で絞り込む',
    noMatch: '該当する録画はありません',
    emptyFolder: 'このフォルダーには録画がありません',
    measuring: '計測中…',
    unmeasured: '時間を測れません',
    programmes: '番組',
    programme: '番組',
    wholeRecording: '録画全体',
    pictureLabel: '現在位置の画像',
    position: '現在位置',
    stripLabel: '録画全体のサムネイル。クリックかドラッグで移動',
    noPicture: 'この位置より後に画像がありません',
    pictureFailed: '画像を表示できません: {0}',
    keysHelp: '← → 1秒 / Shift 10秒、 , . 前・次のキー画像、 Home End、 I 開始、 O 終了、 A 追加',
    markIn: '開始 [I]',
    markOut: '終了 [O]',
    markInLabel: '現在位置を開始点にする',
    markOutLabel: '現在位置を終了点にする',
    inMark: '開始',
    outMark: '終了',
    unset: '未設定',
    add: '区間を追加 [A]',
    addLabel: '開始点から終了点までを残す区間に追加',
    needInOut: '開始点と終了点を設定してください',
    outBeforeIn: '終了点が開始点より前です',
    stretches: '残す区間',
    snap: 'キー画像に合わせる',
    start: '開始',
    end: '終了',
    length: '長さ',
    snapped: '実際の位置',
    startOf: '区間 {0} の開始',
    endOf: '区間 {0} の終了',
    goStartLabel: '区間 {0} の開始へ移動',
    goEndLabel: '区間 {0} の終了へ移動',
    removeLabel: '区間 {0} を削除',
    noStretches: '区間はまだありません。開始点と終了点を決めて「区間を追加」を押してください。',
    badPosition: '時刻 (hh:mm:ss.sss) か p:16進のパケット番号で入力してください',
    endBeforeStart: '終了が開始より前です',
    overlap: '区間 {0} と {1} が重なっています',
    noKeyPicture: 'この区間にはキー画像がありません',
    movedForward: '前にキー画像が無いため、最初のキー画像まで後ろにずれます',
    total: '合計 {0}（{1}）',
    totalNone: '合計 なし',
    scanPending: 'キー画像を調べています…',
    scanProgress: 'キー画像を調べています… {0}%',
    scanDone: 'キー画像 {0} 個',
    scanFailed: 'キー画像を調べられません: {0}',
    scanNeeded: 'キー画像の一覧を待っています',
    findCm: 'CM を探す',
    findCmLabel: 'CM を探して、残す区間の案で一覧を置き換える',
    cmRunning: 'CM を探しています… {0}%',
    cmDone: '案: 区間 {0} 個（編集できます）',
    cmFailed: 'CM を探せません: {0}',
    cut: 'カット',
    outName: '出力ファイル',
    outNameHelp: 'ルート/フォルダー/名前.ts',
    join: '1つのファイルにつなぐ',
    overwrite: '同名のファイルがあれば上書きする',
    startCut: 'カット開始',
    stopCut: '中止',
    queued: '順番待ち（{0} 番目）',
    running: 'カット中 {0}%',
    done: '完了',
    failed: '失敗',
    stopped: '中止しました（何も残していません）',
    nameEmpty: '出力ファイルの名前を入力してください',
    nameAbsolute: '先頭に / は付けられません（ルート名から書いてください）',
    nameBadChar: '\\ や制御文字は使えません',
    namePercent: '% のあとに16進2桁は使えません（%d 以外）',
    nameDots: '空の部分、. や .. は使えません',
    nameNoRoot: '最初の部分はルート名です: {0}',
    nameNoFile: 'ファイル名まで書いてください（ルート/フォルダー/名前.ts）',
    namePart: '.kerf-part- で始まる名前はサーバー用です',
    nameIsInput: '出力が録画そのものです',
    nameNeedsD: '区間ごとに別のファイルにするには、名前に %d を1つ入れてください（1, 2, … になります）',
    nameNoD: '1つのファイルを書くので、名前に %d は入れられません',
    noStretchToCut: '残す区間がありません',
    offline: 'サーバーとの接続が切れました。{0} 秒後にもう一度試します…',
    offlineNow: 'サーバーとの接続が切れました。再接続しています…',
    authMissing: 'アクセス用の鍵がありません。kerf serve が表示したアドレス（…/?token=…）を開いてください。',
    authWrong: 'アクセス用の鍵が古いか違います。kerf serve が表示したアドレスを開き直してください（サーバーで kerf serve を再起動すると表示されます。サービスなら鍵のファイルから読めます）。',
    unreadable: 'この録画は読めません: {0}',
    noTime: 'PCR が見つからず時間を測れません（時間による移動はできません）',
    noTimeNoProgrammes: 'PCR も番組も見つかりません。TS の録画ではないか、壊れています',
    error: 'エラー: {0}',
  },
  en: {
    title: 'KerfCut — cutting recordings',
    language: 'Language',
    recordings: 'Recordings',
    roots: 'Folders',
    filter: 'Filter by name',
    filterLabel: 'Filter the recordings by name',
    noMatch: 'No recording matches',
    emptyFolder: 'This folder holds no recordings',
    measuring: 'measuring…',
    unmeasured: 'time not measurable',
    programmes: 'programmes',
    programme: 'Programme',
    wholeRecording: 'Whole recording',
    pictureLabel: 'Picture at the position',
    position: 'Position',
    stripLabel: 'Thumbnails of the whole recording; click or drag to move',
    noPicture: 'No picture after this position',
    pictureFailed: 'The picture cannot be shown: {0}',
    keysHelp: '← → 1 s / Shift 10 s, , . previous/next key picture, Home End, I in, O out, A add',
    markIn: 'In [I]',
    markOut: 'Out [O]',
    markInLabel: 'Set the in mark at the position',
    markOutLabel: 'Set the out mark at the position',
    inMark: 'In',
    outMark: 'Out',
    unset: 'not set',
    add: 'Add stretch [A]',
    addLabel: 'Add the stretch from in to out to the list of kept stretches',
    needInOut: 'Set the in and out marks first',
    outBeforeIn: 'The out mark lies before the in mark',
    stretches: 'Kept stretches',
    snap: 'Snap to key pictures',
    start: 'Start',
    end: 'End',
    length: 'Length',
    snapped: 'Really cut',
    startOf: 'Start of stretch {0}',
    endOf: 'End of stretch {0}',
    goStartLabel: 'Go to the start of stretch {0}',
    goEndLabel: 'Go to the end of stretch {0}',
    removeLabel: 'Remove stretch {0}',
    noStretches: 'No stretch yet. Set in and out, then press “Add stretch”.',
    badPosition: 'Type a time (hh:mm:ss.sss) or a packet number p:HEX',
    endBeforeStart: 'The end lies before the start',
    overlap: 'Stretches {0} and {1} overlap',
    noKeyPicture: 'This stretch holds no key picture',
    movedForward: 'No key picture before it: the start moves forward to the first one',
    total: 'Total {0} ({1})',
    totalNone: 'Total: nothing',
    scanPending: 'Looking for key pictures…',
    scanProgress: 'Looking for key pictures… {0}%',
    scanDone: '{0} key pictures',
    scanFailed: 'Key pictures cannot be found: {0}',
    scanNeeded: 'Waiting for the key pictures',
    findCm: 'Find the commercials',
    findCmLabel: 'Find the commercials and replace the list with the proposed kept stretches',
    cmRunning: 'Finding the commercials… {0}%',
    cmDone: 'Proposal: {0} stretches (editable)',
    cmFailed: 'The commercials cannot be found: {0}',
    cut: 'Cut',
    outName: 'Output file',
    outNameHelp: 'root/folder/name.ts',
    join: 'Join into one file',
    overwrite: 'Overwrite an existing file',
    startCut: 'Start the cut',
    stopCut: 'Stop',
    queued: 'Waiting (number {0} in the queue)',
    running: 'Cutting {0}%',
    done: 'Done',
    failed: 'Failed',
    stopped: 'Stopped (nothing was kept)',
    nameEmpty: 'Type a name for the output',
    nameAbsolute: 'No leading / (start with the root’s name)',
    nameBadChar: 'No \\ or control characters',
    namePercent: 'No % followed by two hexadecimal digits (only %d)',
    nameDots: 'No empty part, . or ..',
    nameNoRoot: 'The first part is a root: {0}',
    nameNoFile: 'Name a file: root/folder/name.ts',
    namePart: 'Names beginning with .kerf-part- are the server’s own',
    nameIsInput: 'The output is the recording itself',
    nameNeedsD: 'Separate files need one %d in the name (it becomes 1, 2, …)',
    nameNoD: 'One file is written: no %d in its name',
    noStretchToCut: 'No stretch to keep',
    offline: 'The connection to the server is lost. Trying again in {0} s…',
    offlineNow: 'The connection to the server is lost. Reconnecting…',
    authMissing: 'No access token: open the address kerf serve printed (…/?token=…).',
    authWrong: 'The access token is old or wrong: open the address kerf serve printed again (restarting kerf serve on the server prints it; for the service, read it from its token file).',
    unreadable: 'This recording cannot be read: {0}',
    noTime: 'no PCR was found, so its time cannot be measured (moves by time do not work)',
    noTimeNoProgrammes: 'neither PCRs nor programmes were found; it is no TS recording, or it is damaged',
    error: 'Error: {0}',
  },
};

const stored = (() => {
  try {
    return localStorage.getItem('kerf.lang');
  } catch {
    return null;
  }
})();
let current = stored in words ? stored : 'ja';

export function lang() {
  return current;
}

// The text of key in the current language, {0}, {1}, ... replaced by args.
export function t(key, ...args) {
  const text = words[current][key] ?? words.en[key] ?? key;
  return text.replace(/\{(\d)\}/g, (_, i) => String(args[Number(i)]));
}

// Fills the fixed texts beneath root.
export function applyWords(root = document) {
  document.documentElement.lang = current;
  document.title = t('title');
  for (const el of root.querySelectorAll('[data-i18n]')) el.textContent = t(el.dataset.i18n);
  for (const el of root.querySelectorAll('[data-i18n-label]')) el.setAttribute('aria-label', t(el.dataset.i18nLabel));
  for (const el of root.querySelectorAll('[data-i18n-placeholder]')) el.placeholder = t(el.dataset.i18nPlaceholder);
  for (const el of root.querySelectorAll('[data-i18n-alt]')) el.alt = t(el.dataset.i18nAlt);
  for (const el of root.querySelectorAll('[data-i18n-title]')) el.title = t(el.dataset.i18nTitle);
}

export function setLang(name) {
  if (!(name in words)) return;
  current = name;
  try {
    localStorage.setItem('kerf.lang', name);
  } catch {
    // a browser that keeps nothing still switches for this visit
  }
  applyWords();
  document.dispatchEvent(new CustomEvent('kerf:lang'));
}
