// Reference page for Tarnel.
//
// The page talks to the application through the web-message channel:
//   page -> application: window.chrome.webview.postMessage(JSON text of {msg_type, msg_data})
//   application -> page: "message" events whose data is the parsed notification object.
// Opened in an ordinary browser (no window.chrome.webview) it runs in preview mode:
// messages are logged to the console and a download is simulated.
"use strict";

(() => {
  const WINDOW_WIDTH = 720; // CSS pixels; the application scales them by the display's DPI
  const WINDOW_HEIGHT = 460;
  const FALLBACK_NAME = "Your package";
  const START_TIMEOUT_MS = 10000; // re-enable "Download" if the application never answers
  const SPEED_WINDOW_MS = 2000; // progress samples used for the speed

  const webview = window.chrome?.webview ?? null;
  // Opened with #trace, the page reports every download notification it gets
  // as an event ("trace:dl_progress:<dl_now>:<dl_total>",
  // "trace:dnld:<status>[:<reason>[:<http_status>]]"), so a test can follow
  // what it saw in the service's event log.
  const trace = location.hash === "#trace";

  const state = {
    name: FALLBACK_NAME,
    installerUrl: "",
    sha256: "", // the installer's checksum from package.json, passed on with "dnld"
    homepage: "",
    phase: "idle", // idle | starting | downloading | finished | failed
    failure: null, // {reason, httpStatus} of the last failed download
    received: 0,
    total: 0,
    percent: 0,
    samples: [], // {time, bytes} of the last SPEED_WINDOW_MS
    maximized: false,
    drag: null, // {x, y} of the last pointer position while the title bar is held
  };

  const $ = (id) => document.getElementById(id);
  let renderQueued = false;
  let startTimer = 0;
  let noticeTimer = 0;

  // ---- Talking to the application -------------------------------------------

  function send(type, data) {
    const message = data === undefined ? { msg_type: type } : { msg_type: type, msg_data: data };
    if (webview) {
      webview.postMessage(JSON.stringify(message));
      return;
    }
    console.info("[preview] postMessage", JSON.stringify(message));
    if (type === "dnld") simulateDownload();
    if (type === "dnld_cancel") simulateCancel();
  }

  function onNotification(message) {
    if (typeof message === "string") {
      try {
        message = JSON.parse(message);
      } catch {
        return;
      }
    }
    if (!message || typeof message !== "object") return;
    if (trace) traceNotification(message);
    switch (message.msg_type) {
      case "dnld":
        if (message.status === 1) onStarted();
        else if (message.status === 2) onFinished();
        else if (message.status === 0) onFailed(message.reason, message.http_status);
        break;
      case "dl_progress":
        onProgress(Number(message.dl_now), Number(message.dl_total), Number(message.dl_progress));
        break;
      case "close":
        if (message.status_text === "dnld_running") {
          showNotice("The download is still running and stops when the window closes.");
        }
        break;
    }
  }

  function traceNotification(message) {
    let text = "";
    if (message.msg_type === "dl_progress") {
      text = `dl_progress:${message.dl_now}:${message.dl_total}`;
    } else if (message.msg_type === "dnld") {
      text = [message.status, message.reason, message.http_status].filter((part) => part !== undefined).join(":");
      text = `dnld:${text}`;
    } else {
      return;
    }
    send("post_data", { event_id: `trace:${text}` });
  }

  // ---- Download state ----------------------------------------------------------

  function onStarted() {
    clearTimeout(startTimer);
    // The application repeats the start notice when "dnld" comes again mid-download.
    if (state.phase !== "downloading") {
      state.received = 0;
      state.total = 0;
      state.percent = 0;
      state.samples = [];
    }
    setPhase("downloading");
  }

  function onProgress(now, total, percent) {
    if (!Number.isFinite(now) || !Number.isFinite(total) || total <= 0) return;
    if (state.phase === "finished") return;
    if (state.phase !== "downloading") setPhase("downloading");
    state.received = now;
    state.total = total;
    state.percent = Math.min(100, Math.max(0, Number.isFinite(percent) ? percent : (now / total) * 100));
    const time = performance.now();
    state.samples.push({ time, bytes: now });
    while (state.samples.length > 2 && time - state.samples[0].time > SPEED_WINDOW_MS) state.samples.shift();
    queueRender();
  }

  function onFinished() {
    clearTimeout(startTimer);
    if (state.total > 0) state.received = state.total;
    state.percent = 100;
    setPhase("finished");
  }

  function onFailed(reason, httpStatus) {
    clearTimeout(startTimer);
    state.failure = { reason: typeof reason === "string" ? reason : "", httpStatus: Number(httpStatus) };
    setPhase("failed");
  }

  // What a person reads for each failure reason the application sends.
  function failureText(failure) {
    const reason = failure?.reason ?? "";
    switch (reason) {
      case "network":
        return "The connection was lost. Check your network and try again.";
      case "http":
        return Number.isInteger(failure.httpStatus) && failure.httpStatus > 0
          ? `The server could not provide the file (error ${failure.httpStatus}). Try again later.`
          : "The server could not provide the file. Try again later.";
      case "disk_full":
        return "There is not enough free disk space. Free some space and try again.";
      case "file":
        return "The file could not be saved in your Downloads folder. Check that it can be written and try again.";
      case "checksum":
        return "The download was damaged or altered on the way, so it was removed. Try again.";
      case "cancelled":
        return "Download cancelled.";
      case "insecure":
        return "The download was stopped because its address is not secure.";
      default:
        return "The download failed. Check your connection and try again.";
    }
  }

  function setPhase(phase) {
    state.phase = phase;
    queueRender();
  }

  function startDownload() {
    if (!state.installerUrl && webview) {
      showNotice("This page does not know the installer's address.");
      return;
    }
    setPhase("starting");
    state.failure = null;
    clearTimeout(startTimer);
    startTimer = setTimeout(() => {
      if (state.phase === "starting") setPhase("idle");
    }, START_TIMEOUT_MS);
    const request = { url: state.installerUrl, silent: true };
    if (state.sha256) request.sha256 = state.sha256;
    send("dnld", request);
  }

  function cancelDownload() {
    if (state.phase !== "starting" && state.phase !== "downloading") return;
    $("btn-cancel").disabled = true; // until the application answers with the failure
    send("dnld_cancel");
  }

  // ---- Rendering -----------------------------------------------------------------

  function queueRender() {
    if (renderQueued) return;
    renderQueued = true;
    requestAnimationFrame(() => {
      renderQueued = false;
      render();
    });
  }

  function render() {
    const { phase } = state;
    document.body.dataset.state = phase;
    document.body.dataset.maximized = String(state.maximized);
    $("package-name").textContent = state.name;
    $("window-title").textContent = state.name;
    document.title = state.name;

    $("status-line").textContent = {
      idle: "Ready to download.",
      starting: "Starting the download…",
      downloading: "Downloading…",
      finished: "Download complete. Ready to install.",
      failed: state.failure?.reason === "cancelled" ? "Download cancelled." : "The download did not finish.",
    }[phase];

    const percent = Math.floor(state.percent);
    $("progress-fill").style.width = `${state.percent}%`;
    $("progress").setAttribute("aria-valuenow", String(percent));
    $("stat-percent").textContent = `${percent}%`;
    $("stat-bytes").textContent =
      state.total > 0 ? `${formatBytes(state.received)} of ${formatBytes(state.total)}` : phase === "idle" ? "Not started" : "";
    const speed = phase === "downloading" ? currentSpeed() : 0;
    $("stat-speed").textContent = speed > 0 ? `${formatBytes(speed)}/s` : "";

    const download = $("btn-download");
    download.hidden = phase === "finished";
    download.disabled = phase === "starting" || phase === "downloading";
    download.textContent = { starting: "Starting…", downloading: "Downloading…", failed: "Try again" }[phase] ?? "Download";
    $("btn-install").hidden = phase !== "finished";
    $("btn-folder").hidden = phase !== "finished";
    const cancel = $("btn-cancel");
    const running = phase === "starting" || phase === "downloading";
    if (cancel.hidden === running) cancel.disabled = false; // shown afresh for each download
    cancel.hidden = !running;
    $("error").hidden = phase !== "failed";
    if (phase === "failed") $("error").textContent = failureText(state.failure);
    // For styles and tools: why the last download failed.
    document.body.dataset.reason = phase === "failed" ? state.failure?.reason ?? "" : "";

    const link = $("homepage-link");
    link.hidden = !state.homepage;
    if (state.homepage) link.href = state.homepage;
    $("btn-maximize").title = state.maximized ? "Restore" : "Maximise";
    $("btn-maximize").setAttribute("aria-label", $("btn-maximize").title);
  }

  function currentSpeed() {
    const first = state.samples[0];
    const last = state.samples[state.samples.length - 1];
    if (!first || last.time - first.time < 250) return 0;
    return ((last.bytes - first.bytes) * 1000) / (last.time - first.time);
  }

  function formatBytes(bytes) {
    const units = ["B", "KB", "MB", "GB", "TB"];
    let value = bytes;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
      value /= 1024;
      unit += 1;
    }
    return unit === 0 ? `${Math.round(value)} B` : `${value.toFixed(1)} ${units[unit]}`;
  }

  function showNotice(text) {
    const notice = $("notice");
    notice.textContent = text;
    notice.hidden = false;
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => (notice.hidden = true), 5000);
  }

  // ---- Window: dragging by the title bar, buttons ---------------------------------

  // Client coordinates of the window in device pixels, as the application expects.
  function windowPoint(event) {
    const ratio = window.devicePixelRatio || 1;
    return { x: Math.round(event.clientX * ratio), y: Math.round(event.clientY * ratio) };
  }

  function endDrag() {
    if (!state.drag) return;
    send("mouseup", state.drag);
    state.drag = null;
  }

  function bindWindowControls() {
    const titlebar = $("titlebar");
    titlebar.addEventListener("mousedown", (event) => {
      if (event.button !== 0 || event.detail > 1 || event.target.closest("button")) return;
      event.preventDefault();
      state.drag = windowPoint(event);
      send("mousedown", state.drag);
    });
    // Listen on the document so that a fast drag that leaves the bar is not lost.
    document.addEventListener("mousemove", (event) => {
      if (!state.drag) return;
      if ((event.buttons & 1) === 0) {
        endDrag(); // the button was released outside the page
        return;
      }
      state.drag = windowPoint(event);
      send("mousemove", state.drag);
    });
    document.addEventListener("mouseup", (event) => {
      if (event.button !== 0 || !state.drag) return;
      state.drag = windowPoint(event);
      endDrag();
    });
    window.addEventListener("blur", endDrag);
    titlebar.addEventListener("dblclick", (event) => {
      if (!event.target.closest("button")) toggleMaximized();
    });

    $("btn-minimize").addEventListener("click", () => send("minimize"));
    $("btn-maximize").addEventListener("click", toggleMaximized);
    $("btn-close").addEventListener("click", () => send("close", { force_close: false }));
  }

  function toggleMaximized() {
    state.maximized = !state.maximized;
    send(state.maximized ? "maximize" : "restore");
    render();
  }

  function bindActions() {
    $("btn-download").addEventListener("click", startDownload);
    $("btn-cancel").addEventListener("click", cancelDownload);
    $("btn-install").addEventListener("click", () => send("install"));
    $("btn-folder").addEventListener("click", () => send("open_dnld_dir"));
    $("homepage-link").addEventListener("click", (event) => {
      event.preventDefault();
      send("open_url", { url: $("homepage-link").href });
    });
  }

  // ---- Start-up --------------------------------------------------------------------

  // The service publishes the package's name and installer address beside the page.
  async function loadPackage() {
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), 3000);
    try {
      const response = await fetch("package.json", { cache: "no-store", signal: abort.signal });
      if (!response.ok) throw new Error(`HTTP ${response.status}`);
      const info = await response.json();
      if (typeof info.name === "string" && info.name) state.name = info.name;
      if (typeof info.installer_url === "string") state.installerUrl = info.installer_url;
      if (typeof info.homepage === "string") state.homepage = info.homepage;
      if (typeof info.sha256 === "string" && /^[0-9a-fA-F]{64}$/.test(info.sha256)) state.sha256 = info.sha256;
    } catch (error) {
      console.warn("package.json is not available; using placeholders.", error);
      state.homepage = $("homepage-link").getAttribute("href");
    } finally {
      clearTimeout(timer);
    }
  }

  // Preview only: plays the application's notifications so the page's states can be
  // seen in a browser. Open the page with #simulate to start one at once.
  let simulation = 0;

  function simulateDownload() {
    const total = 8 * 1024 * 1024;
    let now = 0;
    clearInterval(simulation);
    setTimeout(() => onNotification({ msg_type: "dnld", status: 1, status_text: "dnld_start" }), 200);
    simulation = setInterval(() => {
      if (state.phase !== "downloading") return;
      now = Math.min(total, now + 96 * 1024);
      onNotification({ msg_type: "dl_progress", dl_now: now, dl_total: total, dl_progress: (now / total) * 100, status: true });
      if (now === total) {
        clearInterval(simulation);
        onNotification({ msg_type: "dnld", status: 2, status_text: "dnld_finished" });
      }
    }, 50);
  }

  function simulateCancel() {
    clearInterval(simulation);
    setTimeout(() => onNotification({ msg_type: "dnld", reason: "cancelled", status: 0, status_text: "dnld_failed" }), 100);
  }

  async function start() {
    bindWindowControls();
    bindActions();
    if (webview) {
      webview.addEventListener("message", (event) => onNotification(event.data));
    } else {
      $("preview-note").hidden = false;
    }
    await loadPackage();
    render();
    // See .fonts-settled-1 in page.css.
    setTimeout(() => document.documentElement.classList.add("fonts-settled-1"), 300);
    setTimeout(() => document.documentElement.classList.replace("fonts-settled-1", "fonts-settled-2"), 1500);
    // The window stays off screen until it is given its size.
    send("resize_window", { width: WINDOW_WIDTH, height: WINDOW_HEIGHT, window_text: state.name });
    send("post_data", { event_id: "page_loaded" });
    if (!webview && location.hash === "#simulate") startDownload();
  }

  start();
})();
