// The page of the chart service: a birth form, its chart, and transits.
// Plain DOM and fetch; the server does every computation.
"use strict";

const $ = (selector) => document.querySelector(selector);
let features = {};
let birth = null;           // the body of the last birth chart, reused by the transits
let natalChart = null;      // its chart: the natal houses of the transit table
const suggestions = new Map();  // label in the place list -> place record

async function api(path, body) {
  const response = await fetch(path, body === undefined ? {} : {
    method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify(body),
  });
  const type = response.headers.get("content-type") || "";
  const data = type.includes("json") ? await response.json() : await response.text();
  if (!response.ok) throw new Error(data.detail || `${response.status} ${response.statusText}`);
  return data;
}

// ------------------------------------------------------------ tabs

for (const tab of document.querySelectorAll("[role=tab]")) {
  tab.addEventListener("click", () => {
    for (const other of document.querySelectorAll("[role=tab]")) {
      other.setAttribute("aria-selected", String(other === tab));
      document.getElementById(other.dataset.panel).hidden = other !== tab;
    }
  });
}

// ------------------------------------------------------------ places

function placeLabel(p) {
  return [p.name, p.admin1, p.country].filter(Boolean).join(", ");
}

// The type-ahead: a list under each place field, filled from /api/places
// as one types. Not a <datalist>: browsers show only the options that
// contain the text typed, which hides near misses ("New Yrok") and other
// spellings ("Munchen" for Munich).
function typeAhead(input) {
  const list = document.createElement("ul");
  list.className = "suggestions";
  list.setAttribute("role", "listbox");
  list.hidden = true;
  input.after(list);
  input.removeAttribute("list");
  input.setAttribute("aria-autocomplete", "list");
  let pending = null, asked = 0, active = -1;

  const items = () => Array.from(list.children);
  const close = () => { list.hidden = true; active = -1; };
  const mark = (index) => {
    active = index;
    items().forEach((item, i) => item.setAttribute("aria-selected", String(i === index)));
  };
  const choose = (item) => {
    input.value = item.dataset.label;
    close();
  };
  const show = (found) => {
    list.replaceChildren();
    for (const place of found) {
      const label = placeLabel(place);
      suggestions.set(label, place);
      const item = document.createElement("li");
      item.setAttribute("role", "option");
      item.dataset.label = label;
      item.textContent = label;
      if (place.match === "near") item.title = "a near spelling";
      item.addEventListener("mousedown", (event) => { event.preventDefault(); choose(item); });
      list.append(item);
    }
    list.hidden = found.length === 0;
    mark(-1);
  };

  input.addEventListener("input", () => {
    clearTimeout(pending);
    const text = input.value.trim();
    if (!features.places || text.length < 2 || suggestions.has(text)) { close(); return; }
    pending = setTimeout(async () => {
      const mine = ++asked;
      try {
        const found = await api(`/api/places?q=${encodeURIComponent(text)}&limit=8`);
        if (mine === asked && document.activeElement === input) show(found);
      } catch (error) { /* suggestions are a help, not a requirement */ }
    }, 120);
  });
  input.addEventListener("keydown", (event) => {
    if (list.hidden) return;
    const count = items().length;
    if (event.key === "ArrowDown" || event.key === "ArrowUp") {
      event.preventDefault();
      if (event.key === "ArrowDown") mark((active + 1) % count);
      else mark(active <= 0 ? count - 1 : active - 1);
    } else if (event.key === "Enter" && active >= 0) {
      event.preventDefault();
      choose(items()[active]);
    } else if (event.key === "Escape") {
      close();
    }
  });
  input.addEventListener("blur", close);
}

for (const input of document.querySelectorAll("input[name=place]")) typeAhead(input);

// Where, as the API takes it: a chosen suggestion by its coordinates and
// zone, other text by name, or the coordinates typed.
function where(form) {
  const text = (form.place && form.place.value.trim()) || "";
  const chosen = suggestions.get(text);
  if (chosen) return {latitude: chosen.latitude, longitude: chosen.longitude, tz: chosen.timezone};
  if (text) return {place: text};
  const latitude = form.latitude ? parseFloat(form.latitude.value) : NaN;
  const longitude = form.longitude ? parseFloat(form.longitude.value) : NaN;
  if (Number.isNaN(latitude) || Number.isNaN(longitude)) return null;
  const at = {latitude, longitude};
  if (form.tz && form.tz.value.trim()) at.tz = form.tz.value.trim();
  return at;
}

function when(form, at) {
  const date = form.date.value, time = form.time.value;
  const fold = form.fold && form.fold.value ? {fold: form.fold.value} : {};
  // Local time needs a zone: given, the place's, or the one found at the
  // coordinates. Without one the time is UTC.
  if (at.place || at.tz || features.zones) {
    return Object.assign({local: `${date} ${time}`}, fold);
  }
  return {moment: `${date}T${time}:00Z`};
}

// The date and time now on the clocks of a zone (the browser's without one).
function nowIn(zone) {
  const options = {year: "numeric", month: "2-digit", day: "2-digit", hour: "2-digit",
                   minute: "2-digit", hourCycle: "h23"};
  let parts;
  try {
    parts = new Intl.DateTimeFormat("en-CA", zone ? {...options, timeZone: zone} : options)
      .formatToParts(new Date());
  } catch (error) {
    parts = new Intl.DateTimeFormat("en-CA", options).formatToParts(new Date());
  }
  const part = Object.fromEntries(parts.map((p) => [p.type, p.value]));
  return [`${part.year}-${part.month}-${part.day}`, `${part.hour}:${part.minute}`];
}

// The natal house a longitude falls in, from the natal cusps: what a
// transit is read for.
function natalHouse(longitude, houses) {
  const cusps = houses.map((h) => h.ecliptic_longitude);
  for (let i = 0; i < 12; i++) {
    const span = (cusps[(i + 1) % 12] - cusps[i] + 360) % 360;
    if ((longitude - cusps[i] + 360) % 360 < span) return i + 1;
  }
  return "";
}

// ------------------------------------------------------------ tables

function cells(row, values) {
  for (const value of values) {
    const td = row.insertCell();
    td.textContent = value === null || value === undefined ? "" : String(value);
    if (typeof value === "number") td.className = "number";
  }
}

function fill(table, headers, rows) {
  table.replaceChildren();
  const head = table.createTHead().insertRow();
  for (const h of headers) { const th = document.createElement("th"); th.textContent = h; head.append(th); }
  const body = table.createTBody();
  for (const values of rows) cells(body.insertRow(), values);
}

const position = (p) => `${p.degree}°${String(p.minute).padStart(2, "0")}′`;

function planetRows(planets) {
  return planets.map((p) => [`${p.symbol || ""} ${p.name}`.trim(), p.sign, position(p),
                             p.house, p.is_retrograde ? "℞" : ""]);
}

function aspectRows(aspects) {
  return aspects.map((a) => [a.body1, a.aspect_type, a.body2, a.orb]);
}

function motion(a) {
  return a.is_applying === undefined ? "" : a.is_applying ? "applying" : "separating";
}

// ------------------------------------------------------------ the wheel

async function showWheel(figure, path, body, chart) {
  if (features.wheel) {
    try {
      figure.innerHTML = await api(path, body);
      return;
    } catch (error) { /* fall back to the sketch below */ }
  }
  figure.innerHTML = sketch(chart);
}

// A plain wheel drawn here when the build has no wheel renderer: signs,
// house cusps and bodies, the Ascendant on the left.
function sketch(chart) {
  const size = 420, c = size / 2, outer = 200, inner = 165, bodies = 140;
  const asc = chart.houses[0].ecliptic_longitude;
  const point = (lon, r) => {
    const a = (180 + lon - asc) * Math.PI / 180;
    return [c + r * Math.cos(a), c - r * Math.sin(a)];
  };
  const parts = [`<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${size} ${size}" role="img"
    aria-label="chart wheel"><circle cx="${c}" cy="${c}" r="${outer}" fill="#fff" stroke="#1d2330"/>
    <circle cx="${c}" cy="${c}" r="${inner}" fill="none" stroke="#1d2330"/>`];
  const glyphs = "♈♉♊♋♌♍♎♏♐♑♒♓";
  for (let sign = 0; sign < 12; sign++) {
    const [x1, y1] = point(sign * 30, inner), [x2, y2] = point(sign * 30, outer);
    parts.push(`<line x1="${x1}" y1="${y1}" x2="${x2}" y2="${y2}" stroke="#1d2330"/>`);
    const [gx, gy] = point(sign * 30 + 15, (inner + outer) / 2);
    parts.push(`<text x="${gx}" y="${gy}" font-size="16" text-anchor="middle"
      dominant-baseline="central">${glyphs[sign]}</text>`);
  }
  for (const house of chart.houses) {
    const [x1, y1] = point(house.ecliptic_longitude, 0), [x2, y2] = point(house.ecliptic_longitude, inner);
    const axis = house.house_number === 1 || house.house_number === 10;
    parts.push(`<line x1="${x1}" y1="${y1}" x2="${x2}" y2="${y2}" stroke="${axis ? "#3b5bdb" : "#b8bfcc"}"
      stroke-width="${axis ? 2 : 1}"/>`);
  }
  for (const p of chart.planets) {
    if (p.name === "Ascendant" || p.name === "Midheaven") continue;
    const [x, y] = point(p.ecliptic_longitude, bodies);
    parts.push(`<text class="body" x="${x}" y="${y}" font-size="15" text-anchor="middle"
      dominant-baseline="central"><title>${p.name} ${p.sign} ${position(p)}</title>${p.symbol || p.name[0]}</text>`);
  }
  parts.push("</svg>");
  return parts.join("");
}

// ------------------------------------------------------------ forms

function chartBody(form) {
  const at = where(form);
  if (!at) throw new Error("give a place, or latitude and longitude");
  return Object.assign(when(form, at), at, {
    house_system: form.house_system ? form.house_system.value : "P",
    zodiac_type: form.zodiac_type ? form.zodiac_type.value : "tropical",
    ayanamsa: "lahiri",
  });
}

function describe(input) {
  const where = `${input.latitude.toFixed(2)}, ${input.longitude.toFixed(2)}`;
  const place = input.place ? `${placeLabel(input.place)} (${where})` : where;
  const local = input.timezone ? `${input.local_time.replace("T", " ")} ${input.timezone}, ` : "";
  return `${local}${input.utc.replace("T", " ").replace(/(Z|\+00:00)$/, "")} UTC, at ${place}`;
}

$("#birth-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#natal-message");
  message.textContent = "";
  try {
    const body = chartBody(event.target);
    const chart = await api("/api/chart", body);
    birth = body;
    natalChart = chart;
    // Transits default to now on the clocks of the birth's zone.
    const transitForm = $("#transit-form");
    if (!transitForm.dataset.edited) {
      [transitForm.date.value, transitForm.time.value] = nowIn(chart.input.timezone);
    }
    $("#transit-zone").textContent = "Date and time are local time at the place" +
      (chart.input.timezone ? ` (the birth place: ${chart.input.timezone}).` : ".");
    $("#natal-summary").textContent = describe(chart.input);
    fill($("#planets"), ["body", "sign", "position", "house", ""], planetRows(chart.planets));
    fill($("#houses"), ["house", "sign", "position"],
         chart.houses.map((h) => [h.house_number, h.sign, position(h)]));
    fill($("#aspects"), ["body", "aspect", "body", "orb"], aspectRows(chart.aspects));
    $("#natal-result").hidden = false;
    $("#transit-hint").hidden = true;
    await showWheel($("#wheel"), "/api/wheel.svg", body, chart);
  } catch (error) {
    message.textContent = error.message;
  }
});

$("#transit-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#transit-message");
  message.textContent = "";
  try {
    if (!birth) throw new Error("cast a birth chart first");
    const form = event.target;
    const {house_system, zodiac_type, ayanamsa, ...natal} = birth;
    // No place typed: the transits are seen from the birth place.
    const {moment, local, ...birthPlace} = natal;
    const place = where(form) || birthPlace;
    const body = Object.assign(when(form, place), place,
                               {house_system, zodiac_type, ayanamsa, natal: {birth: natal}});
    const transit = await api("/api/transit", body);
    $("#transit-summary").textContent = `transits of ${describe(transit.input)}`;
    const inNatal = transit.transit_planets.map((p) => ({...p, house: natalHouse(
      p.ecliptic_longitude, natalChart.houses)}));
    fill($("#transit-planets"), ["body", "sign", "position", "natal house", ""],
         planetRows(inNatal));
    fill($("#cross-aspects"), ["transit", "aspect", "natal", "orb", ""],
         transit.cross_aspects.map((a) => [...aspectRows([a])[0], motion(a)]));
    $("#transit-result").hidden = false;
    const wheel = {planets: transit.transit_planets, houses: transit.transit_houses};
    await showWheel($("#bi-wheel"), "/api/bi-wheel.svg", body, wheel);
  } catch (error) {
    message.textContent = error.message;
  }
});

$("#map-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#map-message");
  message.textContent = "";
  try {
    if (!birth) throw new Error("cast a birth chart first");
    const {house_system, zodiac_type, ayanamsa, ...natal} = birth;
    const body = Object.assign({}, natal, {mode: event.target.mode.value});
    const lines = await api("/api/astrocartography", body);
    $("#map-summary").textContent = `${lines.mode} lines of ${describe(lines.input)}`;
    const latitude = (x) => `${Math.abs(x).toFixed(2)}°${x >= 0 ? "N" : "S"}`;
    fill($("#parans"), ["body", "angle", "body", "angle", "latitude"],
         lines.parans.map((p) => [p.first, p.first_angle, p.second, p.second_angle,
                                  latitude(p.latitude)]));
    $("#map-result").hidden = false;
    $("#map-hint").hidden = true;
    $("#world-map").innerHTML = await api("/api/astrocartography-map.svg", body);
  } catch (error) {
    message.textContent = error.message;
  }
});

// ------------------------------------------------------------ sky events

const eventNames = {
  new_moon: "New Moon", first_quarter: "First quarter", full_moon: "Full Moon",
  last_quarter: "Last quarter", march_equinox: "March equinox", june_solstice: "June solstice",
  september_equinox: "September equinox", december_solstice: "December solstice",
  void_of_course: "Moon void of course",
};

function eventTitle(e) {
  const d = e.details;
  if (eventNames[e.kind]) return eventNames[e.kind];
  if (e.kind === "ingress") return `${e.bodies[0]} ${d.retrograde ? "re-enters" : "enters"} ${d.sign}`;
  if (e.kind.endsWith("_station")) return `${e.bodies[0]} stations ${e.kind.split("_")[0]}`;
  if (e.group === "aspects") return `${e.bodies[0]} ${d.aspect.toLowerCase()} ${e.bodies[1]}`;
  if (e.kind.endsWith("_eclipse")) return `${d.type} ${e.kind.replace("_", " ")}`;
  return `${e.bodies[0]} ${e.kind.replaceAll("_", " ")}`;
}

// The wall time of an event's local_time (ISO with the visitor's offset).
const wall = (text) => text.slice(0, 16).replace("T", " ");

$("#sky-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#sky-message");
  message.textContent = "";
  try {
    const [year, month] = event.target.month.value.split("-").map(Number);
    const next = month === 12 ? `${year + 1}-01` : `${year}-${String(month + 1).padStart(2, "0")}`;
    const tz = Intl.DateTimeFormat().resolvedOptions().timeZone || "UTC";
    const kinds = event.target.kinds.value;
    const body = {start: {local: `${event.target.month.value}-01 00:00`},
                  end: {local: `${next}-01 00:00`}, tz};
    if (kinds) body.kinds = kinds.split(",");
    const found = await api("/api/events", body);
    $("#sky-summary").textContent = `${found.events.length} events, times in ${tz}`;
    fill($("#sky-events"), ["time", "event", "until"],
         found.events.map((e) => [wall(e.local_time), eventTitle(e),
                                  e.end ? wall(e.end.local_time) : ""]));
    $("#sky-result").hidden = false;
  } catch (error) {
    message.textContent = error.message;
  }
});

// ------------------------------------------------------------ jyotish

$("#jyotish-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#jyotish-message");
  message.textContent = "";
  try {
    if (!birth) throw new Error("cast a birth chart first");
    const {house_system, zodiac_type, ayanamsa, ...natal} = birth;
    const form = event.target;
    const body = Object.assign({}, natal, {ayanamsa: form.ayanamsa.value, node: form.node.value,
                                           dasha_at: {moment: new Date().toISOString()}});
    const chart = await api("/api/jyotish", body);
    $("#jyotish-summary").textContent =
      `${describe(chart.input)}; ${chart.ayanamsa_name} ayanamsa ${chart.ayanamsa_degrees.toFixed(4)}°`;
    const rows = [{name: "Lagna", ...chart.lagna}, ...chart.bodies];
    fill($("#jyotish-bodies"), ["body", "sign", "degree", "house", "nakshatra", "pada",
                                "dignity", ""],
         rows.map((b) => [b.name, b.sign, b.degree.toFixed(2), b.house, b.nakshatra, b.pada,
                          b.dignity || "", [b.retrograde ? "℞" : "", b.combust ? "combust" : ""]
                            .filter(Boolean).join(" ")]));
    const day = chart.panchanga;
    fill($("#jyotish-panchanga"), ["", "", "ends (UTC)"],
         ["tithi", "vara", "nakshatra", "yoga", "karana"].map((k) => [
           k, k === "tithi" ? `${day[k].name} (${day[k].paksha})` : day[k].name,
           day[k].end ? wall(day[k].end) : ""]));
    const running = chart.dashas.vimshottari.running || [];
    fill($("#jyotish-dashas"), ["maha dasha", "from", "to", "now"],
         chart.dashas.vimshottari.periods.map((p) => [
           p.lord, p.start.slice(0, 10), p.end.slice(0, 10),
           running.length && running[0].start === p.start ?
             running.map((r) => r.lord).join(" / ") : ""]));
    $("#jyotish-result").hidden = false;
    $("#jyotish-hint").hidden = true;
    // The picture comes with the drawing module; without it the tables stand alone.
    try {
      const drawn = await api("/api/jyotish", Object.assign({}, body, {
        svg: form.style.value, varga: form.varga.value}));
      $("#jyotish-picture").innerHTML = drawn.svg;
    } catch (error) {
      $("#jyotish-picture").textContent = "";
    }
  } catch (error) {
    message.textContent = error.message;
  }
});

// ------------------------------------------------------------ directions

$("#timing-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const message = $("#timing-message");
  message.textContent = "";
  try {
    if (!birth) throw new Error("cast a birth chart first");
    const {house_system, zodiac_type, ayanamsa, ...natal} = birth;
    const form = event.target;
    const years = Number(form.end_age.value);
    const directed = await api("/api/primary-directions", Object.assign({}, natal, {
      method: form.method.value, key: form.key.value, end_age: years,
      significators: ["Ascendant", "Midheaven", "Sun", "Moon"],
      families: ["planets", "aspects"]}));
    const born = new Date(directed.birth.moment);
    const until = new Date(born.getTime() + years * 365.24219 * 86400e3);
    const released = await api("/api/releasing", Object.assign({}, natal, {
      lot: form.lot.value, levels: 2,
      start: {moment: born.toISOString()}, end: {moment: until.toISOString()}}));
    const c = directed.conventions;
    $("#timing-summary").textContent =
      `${describe(directed.input)}; ${c.method}, ${c.key} key; ` +
      `releasing from ${released.lot} in ${released.lot_sign}`;
    fill($("#timing-directions"), ["age", "date", "promissor", "significator", ""],
         directed.directions.map((d) => [
           d.age.toFixed(2), d.date.slice(0, 10),
           [d.promissor, d.aspect === "conjunction" ? "" : d.aspect, d.side || ""]
             .filter(Boolean).join(" "),
           d.significator, d.direction]));
    fill($("#timing-releasing"), ["level", "sign", "ruler", "from", "to", ""],
         released.periods.map((p) => [
           p.level, p.sign, p.ruler, p.start.slice(0, 10), p.end.slice(0, 10),
           [p.peak ? "peak" : "", p.loosing_of_the_bond ? "loosing of the bond" : ""]
             .filter(Boolean).join(", ")]));
    $("#timing-result").hidden = false;
    $("#timing-hint").hidden = true;
  } catch (error) {
    message.textContent = error.message;
  }
});

// Today, now, in the transit form; the features of this build.
(async () => {
  const form = $("#transit-form");
  [form.date.value, form.time.value] = nowIn(null);
  for (const field of [form.date, form.time]) {
    field.addEventListener("input", () => { form.dataset.edited = "1"; });
  }
  $("#sky-form").month.value = new Date().toISOString().slice(0, 7);
  try {
    features = (await api("/api/about")).features;
  } catch (error) { features = {}; }
  if (!features.places) {
    document.querySelector(".place-field").hidden = true;
    $("#coordinates").open = true;
  }
  document.body.dataset.ready = "1";
})();
