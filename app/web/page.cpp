#include "app/web/page.h"

namespace potclock {

// The script and the style are files of their own (/app.js, /app.css) so
// that the page's policy allows only what comes from the server itself,
// with nothing inline.
const std::string_view kPageHtml = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="dark">
<title>potclock</title>
<link rel="stylesheet" href="/app.css">
<script src="/app.js" defer></script>
</head>
<body>
<main id="clock" class="waiting">
  <header><span id="structure"></span><span id="tod"></span></header>
  <div id="numbers"></div>
  <div id="level"></div>
  <div id="blinds"></div>
  <div id="ante"></div>
  <div id="time"></div>
  <div id="note"></div>
  <div id="registration"></div>
  <div id="next"></div>
  <div id="prizes"></div>
  <div id="status">Connecting to the clock&hellip;</div>
  <button id="sound" type="button" hidden>Tap here for the chime at each level</button>
</main>
</body>
</html>
)html";

// Sized by the window's smaller side, so that one page reads across the room
// on a television and on a phone held upright.
const std::string_view kPageCss =
    R"css(html, body { margin: 0; height: 100%; background: #000; color: #eee;
  font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; overflow: hidden; }
main { box-sizing: border-box; height: 100%; display: flex; flex-direction: column;
  align-items: center; justify-content: space-evenly; text-align: center; padding: 2vh 2vw; }
header { width: 100%; display: flex; justify-content: space-between; color: #9ab;
  font-size: min(4vw, 4vh); }
#level { color: #9cf; font-size: min(6vw, 6vh); }
#blinds { font-weight: bold; color: #fff; font-size: min(15vw, 17vh); line-height: 1;
  font-variant-numeric: tabular-nums; white-space: nowrap; }
#ante { color: #fc6; font-size: min(7vw, 7vh); }
#time { font-weight: bold; color: #6f6; font-size: min(22vw, 24vh); line-height: 1;
  font-variant-numeric: tabular-nums; }
#note { color: #fc6; font-size: min(6vw, 6vh); }
#next { color: #aaa; font-size: min(5vw, 5vh); }
#numbers { color: #cde; font-size: min(4.5vw, 4.5vh); white-space: pre; }
#prizes { color: #fc6; font-size: min(3.5vw, 3.5vh); white-space: pre-wrap; }
#registration { color: #ff4; font-size: min(5vw, 5vh); }
#numbers:empty, #prizes:empty, #registration:empty { display: none; }
.warn #time, .breaknext #next { color: #ff4; }
#status { font-size: min(5vw, 5vh); color: #000; background: #fc6; padding: 0 1em;
  border-radius: 0.3em; }
#status:empty { display: none; }
#sound { font-size: min(3.5vw, 3.5vh); background: #222; color: #ccc; border: 1px solid #555;
  padding: 0.3em 1em; border-radius: 0.3em; }
.paused #time { color: #fc6; }
.break #blinds { color: #fc6; }
.lost #time, .lost #blinds, .lost #ante, .lost #level, .lost #next { color: #555; }
.lost #status { background: #f44; color: #fff; }
.waiting #blinds, .waiting #time { color: #555; }
@media (orientation: portrait) {
  #blinds { font-size: 14vw; } #time { font-size: 24vw; }
}
)css";

const std::string_view kPageJs = R"js("use strict";
(() => {
  const $ = (id) => document.getElementById(id);
  // Without a word from the server this long (it speaks every 5 s) the
  // page has lost the clock, even where the connection seems open.
  const SILENCE_MS = 12000;
  let ev = null;        // the last event
  let skew = 0;         // the server's wall clock less this one's, seconds
  let lastIndex = null; // the level shown, for the chime
  let lost = false;
  let source = null;
  let heardAt = 0;
  let tick = null;
  let audio = null;

  const serverNow = () => Date.now() / 1000 + skew;
  const two = (n) => String(n).padStart(2, "0");
  const clockText = (s) => Math.floor(s / 60) + ":" + two(s % 60);

  // The figure the clock shows: its seconds left rounded to the nearest
  // second. Never above the figure the event was sent with, never below 0.
  function figure() {
    const sent = Math.max(0, Math.round(ev.left));
    if (!ev.counting) return sent;
    return Math.max(0, Math.min(sent, Math.round(ev.endsAt - serverNow())));
  }

  function set(id, text) {
    const el = $(id);
    if (el.textContent !== text) el.textContent = text;
  }

  function render() {
    const main = $("clock");
    const now = new Date(serverNow() * 1000);
    set("tod", two(now.getHours()) + ":" + two(now.getMinutes()) + ":" + two(now.getSeconds()));
    const classes = [];
    if (lost) classes.push("lost");
    if (!ev || !ev.game) {
      classes.push("waiting");
      set("structure", "");
      set("numbers", "");
      set("prizes", "");
      set("registration", "");
      set("level", "");
      set("blinds", "Waiting for the game");
      set("ante", "");
      set("time", "");
      set("note", ev && ev.why ? ev.why : "");
      set("next", ev ? "It shows here as soon as the clock starts it." : "");
    } else {
      if (ev.paused) classes.push("paused");
      if (ev["break"]) classes.push("break");
      set("structure", ev.structure);
      set("numbers", ev.numbers || "");
      set("prizes", ev["break"] && ev.prizes ? ev.prizes : "");
      set("level", ev.before ? "The game starts in" : ev["break"] ? "" : "Level " + ev.level);
      set("blinds", ev.blinds);
      set("ante", ev.ante > 0 ? "Ante " + ev.ante : "");
      if (lost) set("time", "--:--");
      else if (ev.mode === "hands") set("time", "Hand " + ev.hand + "/" + ev.hands);
      else set("time", clockText(figure()));
      if (ev.warnMinute && !ev.before && ev.mode !== "hands" && figure() <= 60) classes.push("warn");
      if (ev.breakNext) classes.push("breaknext");
      set("note", ev["break"] ? ev.note : (ev.paused ? "PAUSED" : ""));
      set("registration", !ev.registrationEnds || ev.before ? ""
          : "Late registration ends " +
            (ev.mode === "hands" ? "after this level" : "in " + clockText(figure())));
      set("next", ev.before ? "First level: " + ev.blinds
                 : ev.next ? "Next: " + ev.next + (ev.breakNext ? " after this level" : "") : "");
    }
    const title = ev && ev.game ? ev.blinds + " \u2013 potclock" : "potclock";
    if (document.title !== title) document.title = title;
    set("status", lost ? "Lost the clock: reconnecting\u2026" : ev ? "" : "Connecting\u2026");
    main.className = classes.join(" ");
  }

  // Draws now, and again when the figure or the time of day next changes.
  function schedule() {
    clearTimeout(tick);
    render();
    let wait = 1000 - (serverNow() * 1000) % 1000;
    if (ev && ev.game && ev.counting && !lost) {
      const left = ev.endsAt - serverNow();
      const shown = Math.round(left);
      if (shown > 0) wait = Math.min(wait, (left - (shown - 0.5)) * 1000);
    }
    tick = setTimeout(schedule, Math.max(wait, 0) + 2);
  }

  function chime() {
    if (!audio || audio.state !== "running") return;
    const start = audio.currentTime;
    [880, 660, 880].forEach((hz, i) => {
      const osc = audio.createOscillator();
      const gain = audio.createGain();
      osc.frequency.value = hz;
      const at = start + i * 0.3;
      gain.gain.setValueAtTime(0.0001, at);
      gain.gain.exponentialRampToValueAtTime(0.4, at + 0.02);
      gain.gain.exponentialRampToValueAtTime(0.0001, at + 0.28);
      osc.connect(gain).connect(audio.destination);
      osc.start(at);
      osc.stop(at + 0.3);
    });
  }

  // A phone or a TV left showing the clock must not dim its screen: asked
  // for at the first tap (some browsers want one), again when it is shown.
  let awake = null;
  function keepAwake() {
    if (awake || !navigator.wakeLock || document.visibilityState !== "visible") return;
    navigator.wakeLock.request("screen").then((lock) => {
      awake = lock;
      lock.addEventListener("release", () => { awake = null; });
    }).catch(() => {});
  }
  document.addEventListener("visibilitychange", keepAwake);

  // Browsers start sound only after a tap on the page.
  function unlock() {
    keepAwake();
    if (!audio) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      audio = new Context();
    }
    audio.resume().then(() => { $("sound").hidden = true; });
  }

  function heard() {
    heardAt = Date.now();
    if (lost) {
      lost = false;
      schedule();
    }
  }

  function onState(message) {
    let next;
    try { next = JSON.parse(message.data); } catch (e) { return; }
    skew = next.now - Date.now() / 1000;
    // The game's beginning at its planned start chimes as a new level does.
    const index = next.game ? next.index + "/" + next.structure + (next.before ? "/before" : "")
                            : null;
    if (index !== null && lastIndex !== null && index !== lastIndex && next.chime) chime();
    lastIndex = index;
    ev = next;
    $("sound").hidden = !next.chime || (audio && audio.state === "running");
    heardAt = Date.now();
    lost = false;
    schedule();
  }

  function connect() {
    if (source) source.close();
    source = new EventSource("/events");
    source.addEventListener("state", onState);
    source.addEventListener("alive", heard);
    source.onerror = () => {
      if (!lost) {
        lost = true;
        schedule();
      }
      // Refused outright (a full server) the browser stops trying: start again.
      if (source.readyState === EventSource.CLOSED) setTimeout(connect, 3000);
    };
  }

  setInterval(() => {
    if (Date.now() - heardAt > SILENCE_MS) {
      lost = true;
      schedule();
      heardAt = Date.now();
      connect();
    }
  }, 1000);

  $("sound").addEventListener("click", unlock);
  document.addEventListener("pointerdown", unlock);
  connect();
  schedule();
  keepAwake();
})();
)js";

}  // namespace potclock
