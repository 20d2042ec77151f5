// The page around the browser player: the saved files kept in the browser's storage, the game archive
// put in place, the player started with the options the address gives, the page's buttons, and (for
// tests) the first frame's time and the last frame sent back to the server that served the page.
'use strict';

const params = new URLSearchParams(location.search);
const canvas = document.getElementById('canvas');
const statusLine = document.getElementById('status');
// Saves, settings and the player's options live under /persist, which the browser keeps (IndexedDB).
const persist = '/persist';
// Options the address may give (?frames=700&virtual-clock&...), passed on as the player's own.
const flagOptions = ['virtual-clock', 'list-saves', 'mute-unfocused'];
const valueOptions = ['frames', 'frame-ms', 'seed', 'load-slot', 'volume', 'log', 'autosave-minutes', 'frame-cache',
                      'record'];
// How the page enlarges the game's screen (?scale=): as the player's --scale does in a window.
const scaleModes = ['pixel', 'automatic', 'fit', 'stretch'];
const scaleMode = scaleModes.includes(params.get('scale')) ? params.get('scale') : 'pixel';
let gameArchive = '/games/demo.pik';
let inputFile = null;
// The files the page fetches start downloading at once, beside the player's own.
const fetched = new Map();
function startFetch(url) {
  if (!fetched.has(url)) {
    fetched.set(url, fetch(url).then((r) => {
      if (!r.ok) throw new Error(url + ': ' + r.status + ' ' + r.statusText);
      return r.arrayBuffer();
    }));
  }
  return fetched.get(url);
}
if (!params.get('game')) startFetch(params.get('archive') || 'demo.pik');
if (params.get('input')) startFetch(params.get('input'));

function report(what, body) {
  if (!params.has('report')) return Promise.resolve();
  return fetch('/report/' + what, { method: 'POST', body: body }).catch(() => {});
}

function setStatus(text) {
  statusLine.textContent = text;
  statusLine.hidden = !text;
}

// Writes what is under /persist into the browser's storage (after a save, at the end, when hidden).
function keepFiles() {
  return new Promise((resolve) => FS.syncfs(false, (err) => {
    if (err) console.error('tarnvik: cannot keep the saved files in the browser: ' + err);
    resolve();
  }));
}

// Before the player starts: the kept files read back, the game archive and an input script in place.
function prepareFiles() {
  FS.mkdir(persist);
  FS.mount(FS.filesystems.IDBFS, {}, persist);
  ENV.XDG_DATA_HOME = persist + '/data';
  ENV.XDG_CONFIG_HOME = persist + '/config';
  addRunDependency('kept files');
  FS.syncfs(true, (err) => {
    if (err) console.error('tarnvik: cannot read the saved files of the browser: ' + err);
    for (const dir of ['/data', '/config', '/games']) {
      try { FS.mkdir(persist + dir); } catch (e) { /* already there */ }
    }
    const chosen = params.get('game');
    if (chosen && FS.analyzePath(persist + '/games/' + chosen).exists) gameArchive = persist + '/games/' + chosen;
    if (gameArchive.startsWith('/games/')) fetchInto(params.get('archive') || 'demo.pik', gameArchive);
    removeRunDependency('kept files');
  });
  if (params.get('input')) {
    inputFile = '/tmp/input';
    fetchInto(params.get('input'), inputFile);
  }
}

function fetchInto(url, path) {
  addRunDependency(path);
  startFetch(url).then((bytes) => {
    FS.mkdirTree(path.substring(0, path.lastIndexOf('/')));
    FS.writeFile(path, new Uint8Array(bytes));
  }).catch((e) => {
    setStatus('Cannot load ' + url + ': ' + e.message);
  }).finally(() => removeRunDependency(path));
}

// The canvas holds the game's screen at one pixel a pixel (the player sets its size). The page enlarges
// it by the largest whole multiple that fits, counted in the screen's own pixels so that every game
// pixel is as large as the next, and centres it on black; a window smaller than the game shrinks it to
// fit. "automatic" is "fit" in full screen and where more than twice the game fits; "fit" keeps the
// proportions, "stretch" fills the window. While the player's own full screen (the menu's) holds the
// canvas, that places it.
function placeCanvas() {
  const width = canvas.width, height = canvas.height;
  if (document.fullscreenElement === canvas || width < 2 || height < 2) return;
  const viewWidth = window.innerWidth, viewHeight = window.innerHeight, ratio = window.devicePixelRatio || 1;
  const whole = Math.floor(Math.min(viewWidth * ratio / width, viewHeight * ratio / height));
  const fitting = Math.min(viewWidth / width, viewHeight / height);
  const pixel = scaleMode === 'pixel' || (scaleMode === 'automatic' && whole <= 2 && !document.fullscreenElement);
  let shownWidth = viewWidth, shownHeight = viewHeight;
  if (scaleMode !== 'stretch') {
    const scale = pixel && whole >= 1 ? whole / ratio : fitting;
    shownWidth = width * scale;
    shownHeight = height * scale;
  }
  canvas.classList.toggle('pixelated', pixel && whole >= 1);
  canvas.style.width = shownWidth + 'px';
  canvas.style.height = shownHeight + 'px';
  canvas.style.left = Math.floor((viewWidth - shownWidth) / 2) + 'px';
  canvas.style.top = Math.floor((viewHeight - shownHeight) / 2) + 'px';
}
window.addEventListener('resize', placeCanvas);

function playerArguments() {
  const args = ['--archive', gameArchive];
  for (const name of flagOptions) if (params.has(name)) args.push('--' + name);
  for (const name of valueOptions) if (params.get(name)) args.push('--' + name, params.get(name));
  // --save-at takes a frame and a file: ?save-at=300,/persist/data/x.sav
  for (const at of params.getAll('save-at')) args.push('--save-at', ...at.split(',', 2));
  if (inputFile) args.push('--input', inputFile);
  return args;
}

var Module = {
  canvas: canvas,
  preRun: [prepareFiles],
  print: (line) => { console.log(line); report('log', line); },
  printErr: (line) => { console.error(line); report('log', line); },
  onRuntimeInitialized: () => {
    console.log('tarnvik: the player is ready ' + performance.now().toFixed(0) + ' ms after the page was opened');
    const args = playerArguments();
    report('log', 'page: the player is ready at ' + performance.now().toFixed(0) + ' ms: tarnvik ' + args.join(' '));
    setStatus('');
    setInterval(keepFiles, 2000);
    Module.callMain(args);
  },
  onFirstFrame: () => {
    placeCanvas();
    const ms = performance.now();
    console.log('tarnvik: first frame ' + ms.toFixed(0) + ' ms after the page was opened');
    report('first-frame', ms.toFixed(1));
  },
  onRunEnded: async (status) => {
    await keepFiles();
    setStatus(status === 0 ? 'The game has ended.' : 'The game ended with status ' + status + '.');
    if (params.has('report')) {
      const picture = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
      await report('frame?width=' + canvas.width + '&height=' + canvas.height, picture.data);
      await report('end', String(status));
    }
  },
};

document.getElementById('menu').onclick = () => { Module._tarnvik_web_menu(); canvas.focus(); };
document.getElementById('fullscreen').onclick = () => {
  document.documentElement.requestFullscreen().catch((e) => setStatus('No full screen: ' + e.message));
};
document.addEventListener('visibilitychange', () => { if (document.hidden && Module.calledRun) keepFiles(); });

// Another game: its archive is kept with the saves, and the page starts again with it.
async function openGame(file) {
  if (!file || !file.name.toLowerCase().endsWith('.pik')) {
    setStatus('Choose a game archive (.pik).');
    return;
  }
  const name = file.name.replace(/[^\p{L}\p{N}._-]/gu, '_');
  FS.writeFile(persist + '/games/' + name, new Uint8Array(await file.arrayBuffer()));
  await keepFiles();
  // The page's own choices (scale, volume, ...) stay; what belonged to the other game goes.
  const next = new URLSearchParams(location.search);
  for (const option of ['archive', 'input', 'load-slot', 'save-at', 'record']) next.delete(option);
  next.set('game', name);
  location.search = '?' + next.toString();
}
document.getElementById('open').onchange = (e) => openGame(e.target.files[0]);
document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('dragging');
  openGame(e.dataTransfer.files[0]);
});
