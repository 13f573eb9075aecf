#include "quorvane/derived.hpp"

#include <cmath>
#include <limits>

#include "quorvane/zodiac.hpp"

namespace quorvane {
namespace {

// Row r, column k: what derived house k signifies counted from radix house r.
constexpr std::array<std::array<std::string_view, 12>, 12> kTopicsEn{{
    // From radix house 1
    {{
        "Self & Physical Body",
        "Personal Finances & Assets",
        "Siblings & Immediate Environment",
        "Home, Father & Foundations",
        "Children, Romance & Pleasures",
        "Health, Daily Work & Subordinates",
        "Spouse, Partners & Open Rivals",
        "Shared Resources, Crises & Transformation",
        "Higher Wisdom, Travels & Spirituality",
        "Mother, Career & Public Reputation",
        "Friends, Benefactors & Hopes",
        "Subconscious, Secrets & Solitude",
    }},
    // From radix house 2
    {{
        "Movable Wealth & Capital",
        "Returns on Assets & Profits",
        "Financial Documents & Contracts",
        "Real Estate Capital & Savings",
        "Financial Speculations & Risk",
        "Maintenance Costs & Financial Burdens",
        "Business Partners & Deals",
        "Financial Losses & Debt Crises",
        "Foreign Investments & Global Trade",
        "Financial Standing & Credit Reputation",
        "Dividends & Investment Incomes",
        "Hidden Assets & Secret Accounts",
    }},
    // From radix house 3
    {{
        "Sibling, Relative or Neighbor",
        "Sibling's Wealth & Possessions",
        "Sibling's Siblings & Communication",
        "Sibling's Home, Land & Roots",
        "Sibling's Children (Nieces/Nephews)",
        "Sibling's Health & Daily Tasks",
        "Sibling's Spouse & Partnerships",
        "Sibling's Crises & Inherited Assets",
        "Sibling's Higher Education & Beliefs",
        "Sibling's Career & Public Status",
        "Sibling's Friends & Aspirations",
        "Sibling's Secrets & Hidden Troubles",
    }},
    // From radix house 4
    {{
        "Father, Ancestor or Homeland",
        "Father's Wealth & Movable Goods",
        "Father's Siblings (Paternal Uncles/Aunts)",
        "Father's Father (Paternal Grandfather)",
        "Father's Children (Native's Siblings)",
        "Father's Health, Sickness & Staff",
        "Father's Wife (Mother)",
        "Father's Legacy, Debts & Longevity",
        "Father's Philosophy & Long Journeys",
        "Father's Profession & Honors",
        "Father's Friends & Acquired Hopes",
        "Father's Sorrows & Hidden Enemies",
    }},
    // From radix house 5
    {{
        "First Child, Romance or Creation",
        "Child's Assets & Wealth",
        "Child's Primary Studies & Siblings",
        "Child's Residence & Ancestry",
        "Child's Children (Grandchildren)",
        "Child's Health & Routine",
        "Child's Partner (Son/Daughter-in-Law)",
        "Child's Shared Assets & Crises",
        "Child's Higher Studies & Travels",
        "Child's Career & Achievements",
        "Child's Friends & Social Circle",
        "Child's Hidden Fears & Obstacles",
    }},
    // From radix house 6
    {{
        "Employee, Pet or Health Issue",
        "Employee's Wages / Pet Expenses",
        "Employee's Communications & Tasks",
        "Workplace Environment / Root Cause of Illness",
        "Therapy Remedies & Work Creative Output",
        "Secondary Health Complications",
        "Physician, Veterinarian or Coworker",
        "Chronic Crisis & Employee Liabilities",
        "Medical Advice & Treatment Journeys",
        "Clinical Diagnosis & Employer Authority",
        "Recovery Prospects & Helpful Allies",
        "Hospitalization & Hidden Sickness Factors",
    }},
    // From radix house 7
    {{
        "Partner, Spouse or Business Associate",
        "Partner's Wealth & Possessions",
        "Partner's Siblings & Communications",
        "Partner's Parents, Family & Home",
        "Partner's Children & Pleasures",
        "Partner's Health, Sickness & Work",
        "Partner's Partner (The Native)",
        "Partner's Shared Finances & Crises",
        "Partner's In-Laws, Higher Studies & Travels",
        "Partner's Mother, Career & Reputation",
        "Partner's Friends, Hopes & Earnings",
        "Partner's Secrets, Anxieties & Confinement",
    }},
    // From radix house 8
    {{
        "Inheritance, Debt & Shared Capital",
        "Debt Collection & Liquidation Gains",
        "Wills, Deeds & Legal Notices",
        "Ancestral Estate & Conclusion of Crises",
        "Profits from Transformation & Legacies",
        "Settlement Efforts & Resolution Burdens",
        "Creditors & Financial Counterparties",
        "Deep Metamorphosis & Extreme Crises",
        "Spiritual Meaning of Crises & Foreign Assets",
        "Public Estate Probate & Status Post-Crisis",
        "Allies in Crisis & Relief Funding",
        "Hidden Debts & Secret Inheritance Feuds",
    }},
    // From radix house 9
    {{
        "Teacher, Guru, In-Law or Foreign Country",
        "Mentor's Wealth / Travel Funds",
        "Sacred Texts & Philosophic Discourse",
        "Spiritual Sanctuary & Homeland of In-Laws",
        "Disciples, Students & Joys of Pilgrimage",
        "Spiritual Discipline & Ministry Duties",
        "Mentor's Spouse & In-Law Partnerships",
        "Esoteric Mysteries & Shared Lineage",
        "High Transcendence & Overseas Pilgrimages",
        "Spiritual Authority & Academic Standing",
        "Spiritual Community & Global Network",
        "Monastic Retreat & Hermit Solitude",
    }},
    // From radix house 10
    {{
        "Mother, Profession or Authority Figure",
        "Mother's Wealth & Business Capital",
        "Mother's Siblings (Maternal Uncles/Aunts)",
        "Mother's Father (Maternal Grandfather)",
        "Mother's Creativity & Pleasures",
        "Mother's Health, Sickness & Work Staff",
        "Mother's Husband (Father)",
        "Mother's Legacies, Debts & Crisis",
        "Mother's Philosophy & Long Travels",
        "Mother's Mother (Maternal Grandmother) / Career Apex",
        "Mother's Friends, Sponsors & Public Allies",
        "Mother's Hidden Worries & Solitude",
    }},
    // From radix house 11
    {{
        "Friend, Association or Community Group",
        "Friend's Assets & Group Treasury",
        "Friend's Siblings & Group Newsletters",
        "Friend's Home & Community Clubhouse",
        "Friend's Children & Creative Projects",
        "Friend's Health & Volunteer Labor",
        "Friend's Partner & Group Coalitions",
        "Friend's Crises & Shared Association Assets",
        "Friend's Higher Ideals & Conferences",
        "Friend's Career & Group Leadership",
        "Friend's Friends & Secondary Networks",
        "Friend's Hidden Troubles & Secret Rivals",
    }},
    // From radix house 12
    {{
        "Secret Foe, Inner Sanctuary or Subconscious",
        "Hidden Funds & Money Spent in Confinement",
        "Secret Communications & Confessions",
        "Hidden Foundations & Ancestral Roots",
        "Secret Pleasures & Hidden Creativity",
        "Confinement Ailments & Solitary Duties",
        "Secret Rival's Partner & Open Revelation",
        "Subconscious Metamorphosis & Extreme Secrecy",
        "Mystical Pilgrimage & Overseas Sanctuary",
        "Public Unveiling of Secrets & Spiritual Vocation",
        "Secret Benefactors & Unknown Patrons",
        "Deepest Karma & Ultimate Transcendence",
    }},
}};

constexpr std::array<std::array<std::string_view, 12>, 12> kTopicsIt{{
    // From radix house 1
    {{
        "Sé & Corpo Fisico",
        "Finanze Personali & Risorse",
        "Fratelli & Ambiente Immediato",
        "Casa, Padre & Fondamenta",
        "Figli, Amore & Piaceri",
        "Salute, Lavoro Quotidiano & Collaboratori",
        "Coniuge, Soci & Rivali Dichiarati",
        "Risorse Condivise, Crisi & Trasformazione",
        "Saggezza Superiore, Viaggi & Spiritualità",
        "Madre, Carriera & Reputazione Pubblica",
        "Amici, Benefattori & Speranze",
        "Inconscio, Segreti & Solitudine",
    }},
    // From radix house 2
    {{
        "Beni Mobili & Capitale",
        "Rendimenti & Profitti",
        "Documenti Finanziari & Contratti",
        "Capitale Immobiliare & Risparmi",
        "Speculazioni Finanziarie & Rischio",
        "Costi di Mantenimento & Oneri",
        "Partner Commerciali & Trattative",
        "Perdite Finanziarie & Crisi di Debito",
        "Investimenti Esteri & Commercio Globale",
        "Solidità Finanziaria & Reputazione Creditizia",
        "Dividendi & Rendite da Investimento",
        "Beni Nascosti & Conti Segreti",
    }},
    // From radix house 3
    {{
        "Fratello/Sorella, Parente o Vicino",
        "Beni & Risorse del Fratello",
        "Fratelli del Fratello & Comunicazione",
        "Casa & Radici del Fratello",
        "Figli del Fratello (Nipoti)",
        "Salute & Lavoro del Fratello",
        "Coniuge & Soci del Fratello",
        "Crisi & Eredità del Fratello",
        "Studi Superiori & Viaggi del Fratello",
        "Carriera & Status del Fratello",
        "Amici & Aspirazioni del Fratello",
        "Segreti & Difficoltà Nascoste del Fratello",
    }},
    // From radix house 4
    {{
        "Padre, Antenato o Patria",
        "Beni & Denaro del Padre",
        "Fratelli del Padre (Zii Paterni)",
        "Padre del Padre (Nonno Paterno)",
        "Figli del Padre (Fratelli del Nativo)",
        "Salute & Collaboratori del Padre",
        "Moglie del Padre (Madre)",
        "Eredità & Longevità del Padre",
        "Filosofia & Viaggi del Padre",
        "Professione & Onori del Padre",
        "Amici & Speranze del Padre",
        "Afflizioni & Nemici Nascosti del Padre",
    }},
    // From radix house 5
    {{
        "Primo Figlio, Amore o Creazione",
        "Beni & Risorse del Figlio",
        "Studi Primari & Fratelli del Figlio",
        "Casa & Famiglia del Figlio",
        "Figli del Figlio (Nipoti di Nonno)",
        "Salute & Routine del Figlio",
        "Partner del Figlio (Genero/Nuora)",
        "Risorse Condivise & Crisi del Figlio",
        "Studi Universitari & Viaggi del Figlio",
        "Carriera & Riconoscimenti del Figlio",
        "Amici & Circolo Sociale del Figlio",
        "Paure Nascoste & Ostacoli del Figlio",
    }},
    // From radix house 6
    {{
        "Collaboratore, Animale Domestico o Malattia",
        "Salari dei Dipendenti / Spese per Animali",
        "Comunicazioni & Mansioni del Personale",
        "Ambiente di Lavoro / Causa Prima della Malattia",
        "Terapie & Creatività Lavorativa",
        "Complicazioni Secondarie di Salute",
        "Medico Curante, Veterinario o Collega",
        "Crisi Cronica & Oneri dei Dipendenti",
        "Consulti Medici & Viaggi Terapeutici",
        "Diagnosi Clinica & Autorità del Datore",
        "Prospettive di Guarigione & Aiuti",
        "Ricovero & Fattori Nascosti della Malattia",
    }},
    // From radix house 7
    {{
        "Partner, Coniuge o Socio",
        "Beni & Risorse del Partner",
        "Fratelli & Comunicazioni del Partner",
        "Genitori, Famiglia & Casa del Partner",
        "Figli & Piaceri del Partner",
        "Salute, Malattie & Lavoro del Partner",
        "Partner del Partner (Il Nativo)",
        "Finanze Condivise & Crisi del Partner",
        "Suoceri, Studi Superiori & Viaggi del Partner",
        "Madre, Carriera & Reputazione del Partner",
        "Amici, Speranze & Guadagni del Partner",
        "Segreti, Angosce & Isolamento del Partner",
    }},
    // From radix house 8
    {{
        "Eredità, Debiti & Capitale Condiviso",
        "Recupero Crediti & Liquidazioni",
        "Testamenti, Atti & Notifiche Legali",
        "Patrimonio Ancestrale & Fine delle Crisi",
        "Profitti da Trasformazioni & Eredità",
        "Pratiche Successorie & Oneri di Risoluzione",
        "Creditori & Controparti Finanziarie",
        "Metamorfosi Profonda & Crisi Estreme",
        "Senso Spirituale della Crisi & Beni Esteri",
        "Successione Pubblica & Status Post-Crisi",
        "Alleati nella Crisi & Finanziamenti di Soccorso",
        "Debiti Nascosti & Faide Ereditarie Segrete",
    }},
    // From radix house 9
    {{
        "Maestro, Guida, Suocero o Paese Straniero",
        "Beni del Maestro / Fondi di Viaggio",
        "Testi Sacri & Discorsi Filosofici",
        "Santuario Spirituale & Patria dei Suoceri",
        "Discepoli, Studenti & Gioie del Pellegrinaggio",
        "Disciplina Spirituale & Doveri di Ministero",
        "Coniuge del Maestro & Legami dei Suoceri",
        "Misteri Esoterici & Tradizione Condivisa",
        "Alta Trascendenza & Pellegrinaggi d'Oltremare",
        "Autorità Spirituale & Prestigio Accademico",
        "Comunità Spirituale (Sangha) & Rete Globale",
        "Ritiro Monastico & Solitudine Eremitica",
    }},
    // From radix house 10
    {{
        "Madre, Professione o Figura di Autorità",
        "Beni della Madre & Capitale d'Impresa",
        "Fratelli della Madre (Zii Materni)",
        "Padre della Madre (Nonno Materno)",
        "Creatività & Piaceri della Madre",
        "Salute, Malattie & Collaboratori della Madre",
        "Marito della Madre (Padre)",
        "Eredità, Debiti & Crisi della Madre",
        "Filosofia & Viaggi della Madre",
        "Madre della Madre (Nonna Materna) / Apice della Carriera",
        "Amici, Sponsor & Alleati della Madre",
        "Preoccupazioni Segrete & Isolamento della Madre",
    }},
    // From radix house 11
    {{
        "Amico, Associazione o Gruppo Comunitario",
        "Beni dell'Amico & Cassa dell'Associazione",
        "Fratelli dell'Amico & Notiziari del Gruppo",
        "Casa dell'Amico & Sede dell'Associazione",
        "Figli dell'Amico & Progetti Creativi",
        "Salute dell'Amico & Lavoro Volontario",
        "Partner dell'Amico & Coalizioni",
        "Crisi dell'Amico & Fondi Condivisi",
        "Ideali Superiori dell'Amico & Convegni",
        "Carriera dell'Amico & Leadership del Gruppo",
        "Amici dell'Amico & Reti Secondarie",
        "Difficoltà Nascoste & Rivali Segreti dell'Amico",
    }},
    // From radix house 12
    {{
        "Nemico Nascosto, Santuario Interiore o Inconscio",
        "Fondi Nascosti & Spese di Degenza",
        "Comunicazioni Segrete & Confessioni",
        "Fondamenta Nascoste & Radici Ancestrali",
        "Piaceri Segreti & Creatività Celata",
        "Disturbi da Isolamento & Doveri Solitari",
        "Partner del Nemico Nascosto & Rivelazione",
        "Metamorfosi Inconscia & Segretezza Estrema",
        "Pellegrinaggio Mistico & Rifugio all'Estero",
        "Svelamento di Segreti & Vocazione Spirituale",
        "Benefattori Segreti & Mecenati Sconosciuti",
        "Karma Profondo & Trascendenza Finale",
    }},
}};

constexpr std::array<Topic, 12> kRootThemes{{
    {"Self & Vitality", "Sé & Vitalità"},
    {"Finances & Assets", "Finanze & Risorse"},
    {"Siblings & Communication", "Fratelli & Comunicazione"},
    {"Father, Home & Roots", "Padre, Famiglia & Radici"},
    {"Children & Creativity", "Figli & Creatività"},
    {"Health, Work & Pets", "Salute, Lavoro & Animali"},
    {"Partner, Spouse & Associates", "Partner, Coniuge & Soci"},
    {"Shared Resources & Crises", "Risorse Condivise & Crisi"},
    {"Higher Studies, Travels & In-Laws", "Studi Superiori, Viaggi & Suoceri"},
    {"Mother, Career & Honors", "Madre, Carriera & Successo"},
    {"Friends & Aspirations", "Amici & Aspirazioni"},
    {"Secrets & Hidden Enemies", "Segreti & Nemici Nascosti"},
}};

Json optional_text(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

std::string compact_text(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

EngineError invalid(std::string message) { return EngineError::invalid_input(std::move(message)); }

// Python's truth value of a JSON value.
bool truthy(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>();
    case Json::value_t::number_integer:
      return value.get<int64_t>() != 0;
    case Json::value_t::number_unsigned:
      return value.get<uint64_t>() != 0;
    case Json::value_t::number_float:
      return value.get<double>() != 0.0;
    case Json::value_t::string:
      return !value.get_ref<const std::string&>().empty();
    case Json::value_t::array:
    case Json::value_t::object:
      return !value.empty();
    default:
      return false;
  }
}

// An item's "house" as a whole number: numbers truncate toward zero (NaN
// gives 0, huge values saturate); a missing or non-numeric value is house 1.
// Unsigned values only matter modulo 12, so they are reduced first.
int64_t radix_of(const Json& item) {
  const auto it = item.find("house");
  if (it == item.end()) return 1;
  switch (it->type()) {
    case Json::value_t::number_integer:
      return it->get<int64_t>();
    case Json::value_t::number_unsigned:
      return static_cast<int64_t>(it->get<uint64_t>() % 12);
    case Json::value_t::number_float: {
      const double x = std::trunc(it->get<double>());
      if (std::isnan(x)) return 0;
      if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
      if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
      return static_cast<int64_t>(x);
    }
    default:
      return 1;
  }
}

// Copies `item`, keeping its "house" as "radix_house" and turning it.
Json turned(const Json& item, int root) {
  Json out = item;
  out["radix_house"] = get(item, "house", Json(1));
  out["house"] = derived_house_number(radix_of(item), root);
  return out;
}

bool numerically_equal(const Json& value, int n) {
  switch (value.type()) {
    case Json::value_t::number_integer:
      return value.get<int64_t>() == n;
    case Json::value_t::number_unsigned:
      return value.get<uint64_t>() == static_cast<uint64_t>(n);
    case Json::value_t::number_float:
      return value.get<double>() == n;
    default:
      return false;
  }
}

// Twelve houses at 0° of each sign, for a base without a full house list.
Json default_houses() {
  Json houses = Json::array();
  for (int i = 0; i < 12; ++i) {
    Json house = Json::object();
    house["house_number"] = i + 1;
    house["degree"] = 0;
    house["minute"] = 0;
    house["sign"] = kSigns[i].name;
    house["sign_symbol"] = kSigns[i].glyph;
    house["ecliptic_longitude"] = 30.0 * i;
    houses.push_back(std::move(house));
  }
  return houses;
}

// The radix entry of house h: the first whose house_number is h, else the
// h-th of the list; anything but an object reads as an empty object.
Json radix_entry(const Json& houses, int h) {
  const Json* found = nullptr;
  for (const Json& house : houses) {
    if (!house.is_object()) continue;
    const auto number = house.find("house_number");
    if (number != house.end() && numerically_equal(*number, h)) {
      found = &house;
      break;
    }
  }
  if (!found) found = &houses[static_cast<size_t>(h - 1)];
  return found->is_object() ? *found : Json::object();
}

Json derived_house(const Json& source, int k, int h, int root) {
  const Topic topic = derived_topic(root, k);
  Json out = Json::object();
  out["house_number"] = k;
  out["radix_house_number"] = h;
  out["sign"] = get(source, "sign", "");
  out["sign_symbol"] = get(source, "sign_symbol", "");
  out["degree"] = get(source, "degree", 0);
  out["minute"] = get(source, "minute", 0);
  out["ecliptic_longitude"] = get(source, "ecliptic_longitude", 0.0);
  out["symbolic_degree"] = get(source, "symbolic_degree", nullptr);
  out["degree_symbol"] = get(source, "degree_symbol", nullptr);
  out["degree_symbols"] = get(source, "degree_symbols", nullptr);
  out["meaning_en"] = topic.en;
  out["meaning_it"] = topic.it;
  out["derived_label"] = format("House %d (Radix %d)", k, h);
  return out;
}

// The derived chart's own angles: its first and tenth cusps.
constexpr const char* kAngleKeys[] = {"sign",    "sign_symbol",     "degree",       "minute",
                                      "ecliptic_longitude", "symbolic_degree",
                                      "degree_symbol", "degree_symbols"};

Expected<Json, EngineError> turn_planets(const Json& base, const Json& houses, int root) {
  Json out = Json::array();
  const auto list = base.find("planets");
  if (list == base.end() || !list->is_array()) return out;
  for (const Json& entry : *list) {
    if (!entry.is_object()) return unexpected(invalid("planets entries must be objects"));
  }
  for (const Json& entry : *list) {
    const auto name = entry.find("name");
    const bool ascendant = name != entry.end() && *name == "Ascendant";
    const bool midheaven = name != entry.end() && *name == "Midheaven";
    if (!ascendant && !midheaven) {
      out.push_back(turned(entry, root));
      continue;
    }
    Json planet = entry;
    planet["radix_house"] = get(entry, "house", Json(1));
    planet["house"] = ascendant ? 1 : 10;
    const Json& cusp = houses[ascendant ? 0 : 9];
    for (const char* key : kAngleKeys) planet[key] = cusp[key];
    out.push_back(std::move(planet));
  }
  return out;
}

}  // namespace

Topic derived_topic(int root, int house) {
  return {kTopicsEn[static_cast<size_t>(root - 1)][static_cast<size_t>(house - 1)],
          kTopicsIt[static_cast<size_t>(root - 1)][static_cast<size_t>(house - 1)]};
}

Topic root_theme(int root) { return kRootThemes[static_cast<size_t>(root - 1)]; }

int derived_house_number(int64_t radix, int root) {
  const int64_t shifted = (radix % 12 - root % 12) % 12;
  return static_cast<int>(shifted < 0 ? shifted + 12 : shifted) + 1;
}

int radix_house_of(int house, int root) { return ((house + root - 2) % 12 + 12) % 12 + 1; }

Json get(const Json& object, std::string_view key, Json fallback) {
  if (!object.is_object()) return fallback;
  const auto it = object.find(key);
  return it != object.end() ? *it : fallback;
}

Expected<Json, EngineError> turn_items(const Json& base, std::string_view key, int root) {
  Json out = Json::array();
  const auto it = base.find(key);
  if (it == base.end() || it->is_null()) return out;
  if (!it->is_array()) {
    return unexpected(invalid(std::string(key) + " must be a list, got " + compact_text(*it)));
  }
  for (const Json& item : *it) {
    if (!item.is_object()) return unexpected(invalid(std::string(key) + " entries must be objects"));
    out.push_back(turned(item, root));
  }
  return out;
}

Expected<Json, EngineError> calculate_derived_chart(const Json& base, int64_t root_house,
                                                    const std::optional<std::string>& custom_name) {
  if (!base.is_object()) return unexpected(invalid("base chart must be an object"));
  const int root = root_house >= 1 && root_house <= 12 ? static_cast<int>(root_house) : 1;

  const auto base_houses = base.find("houses");
  const Json radix_houses = base_houses != base.end() && base_houses->is_array() &&
                                    base_houses->size() >= 12
                                ? *base_houses
                                : default_houses();
  Json houses = Json::array();
  for (int k = 1; k <= 12; ++k) {
    const int h = radix_house_of(k, root);
    houses.push_back(derived_house(radix_entry(radix_houses, h), k, h, root));
  }

  auto planets = turn_planets(base, houses, root);
  if (!planets) return planets;
  auto fixed_stars = turn_items(base, "fixed_stars", root);
  if (!fixed_stars) return fixed_stars;
  auto arabic_parts = turn_items(base, "arabic_parts", root);
  if (!arabic_parts) return arabic_parts;

  const Json user_name = get(base, "user_name", nullptr);
  const std::string base_name = !truthy(user_name) ? "Radix Chart"
                                : user_name.is_string() ? user_name.get<std::string>()
                                                        : compact_text(user_name);
  const Topic theme = root_theme(root);
  const std::string name = custom_name && !custom_name->empty()
                               ? *custom_name
                               : base_name + " [Derived H" + std::to_string(root) + " - " +
                                     std::string(theme.en) + "]";
  const Json base_id = get(base, "id", nullptr);

  const Json root_source = radix_entry(radix_houses, root);
  Json root_cusp = Json::object();
  root_cusp["house_number"] = root;
  for (const char* key : {"sign", "degree", "minute", "ecliptic_longitude"}) {
    root_cusp[key] = get(root_source, key, nullptr);
  }
  Json theme_json = Json::object();
  theme_json["name_en"] = theme.en;
  theme_json["name_it"] = theme.it;
  Json meanings = Json::object();
  for (int k = 1; k <= 12; ++k) {
    const Topic topic = derived_topic(root, k);
    Json meaning = Json::object();
    meaning["en"] = topic.en;
    meaning["it"] = topic.it;
    meanings[std::to_string(k)] = std::move(meaning);
  }
  Json data = Json::object();
  data["derived_root_house"] = root;
  data["derived_from_id"] = base_id;
  data["derived_from_name"] = base_name;
  data["root_house_theme"] = std::move(theme_json);
  data["root_cusp"] = std::move(root_cusp);
  data["meanings"] = std::move(meanings);

  Json out = Json::object();
  out["id"] = nullptr;
  out["chart_type"] = "DERIVED";
  out["user_name"] = name;
  out["birth_datetime"] = get(base, "birth_datetime", nullptr);
  out["local_datetime"] = get(base, "local_datetime", nullptr);
  out["timezone"] = get(base, "timezone", "UTC");
  out["timezone_offset"] = get(base, "timezone_offset", "+00:00");
  out["timezone_abbr"] = get(base, "timezone_abbr", "UTC");
  out["is_dst"] = get(base, "is_dst", false);
  out["dst_offset"] = get(base, "dst_offset", "+00:00");
  out["raw_offset"] = get(base, "raw_offset", "+00:00");
  out["house_system"] = get(base, "house_system", "P");
  out["zodiac_type"] = get(base, "zodiac_type", "tropical");
  out["zodiac_type_label"] = get(base, "zodiac_type_label", "Tropical");
  out["ayanamsa"] = get(base, "ayanamsa", nullptr);
  out["ayanamsa_name"] = get(base, "ayanamsa_name", nullptr);
  out["ayanamsa_value"] = get(base, "ayanamsa_value", nullptr);
  out["ayanamsa_formatted"] = get(base, "ayanamsa_formatted", "");
  out["orb_settings"] = get(base, "orb_settings", Json::object());
  out["coordinates"] = get(base, "coordinates", Json::object());
  out["planets"] = std::move(planets).value();
  out["houses"] = std::move(houses);
  out["aspects"] = get(base, "aspects", Json::array());
  out["fixed_stars"] = std::move(fixed_stars).value();
  out["arabic_parts"] = std::move(arabic_parts).value();
  out["temperament"] = get(base, "temperament", Json::object());
  out["lunar_status"] = get(base, "lunar_status", Json::object());
  out["derived_from_id"] = base_id;
  out["derived_from_name"] = base_name;
  out["derived_house"] = root;
  out["derived_data"] = std::move(data);
  return out;
}

Expected<TransitChart, EngineError> calculate_transit_chart(const KernelSet& kernels,
                                                            const Json& natal_planets,
                                                            const ChartRequest& request) {
  auto natal = points_from_json(natal_planets);
  if (!natal) return unexpected(std::move(natal).error());
  // Natal positions are fixed in the sky; only the transiting bodies move.
  for (Point& point : *natal) point.speed = 0.0;
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return unexpected(std::move(chart).error());

  std::vector<Point> transit;
  transit.reserve(chart->planets.size());
  for (const Placement& p : chart->planets) transit.push_back({p.name, p.ecliptic_longitude, p.speed});
  auto aspects = cross_aspects(*natal, transit,
                               request.orb_settings ? &*request.orb_settings : nullptr);
  if (!aspects) return unexpected(std::move(aspects).error());

  TransitChart out;
  out.transit_planets = std::move(chart->planets);
  out.transit_houses = std::move(chart->houses);
  out.cross_aspects = std::move(aspects).value();
  out.transit_datetime = request.moment.isoformat();
  out.transit_lat = request.latitude;
  out.transit_lon = request.longitude;
  out.zodiac_type = std::move(chart->zodiac_type);
  out.ayanamsa = std::move(chart->ayanamsa);
  out.ayanamsa_name = std::move(chart->ayanamsa_name);
  out.ayanamsa_value = chart->ayanamsa_value;
  out.ayanamsa_formatted = std::move(chart->ayanamsa_formatted);
  return out;
}

Expected<Synastry, EngineError> calculate_synastry(const Json& chart_a_planets,
                                                   const Json& chart_b_planets,
                                                   const std::optional<Json>& orb_settings) {
  auto a = points_from_json(chart_a_planets);
  if (!a) return unexpected(std::move(a).error());
  auto b = points_from_json(chart_b_planets);
  if (!b) return unexpected(std::move(b).error());
  auto aspects = cross_aspects(*a, *b, orb_settings ? &*orb_settings : nullptr);
  if (!aspects) return unexpected(std::move(aspects).error());
  return Synastry{std::move(aspects).value()};
}

Json to_json(const TransitChart& chart) {
  Json planets = Json::array();
  for (const Placement& p : chart.transit_planets) planets.push_back(to_json_tree(p));
  Json houses = Json::array();
  for (const HouseCusp& c : chart.transit_houses) houses.push_back(to_json_tree(c));
  Json out = Json::object();
  out["transit_planets"] = std::move(planets);
  out["transit_houses"] = std::move(houses);
  out["cross_aspects"] = to_json_tree(chart.cross_aspects);
  out["transit_datetime"] = chart.transit_datetime;
  out["transit_lat"] = chart.transit_lat;
  out["transit_lon"] = chart.transit_lon;
  out["zodiac_type"] = chart.zodiac_type;
  out["ayanamsa"] = optional_text(chart.ayanamsa);
  out["ayanamsa_name"] = optional_text(chart.ayanamsa_name);
  out["ayanamsa_value"] = chart.ayanamsa_value ? Json(*chart.ayanamsa_value) : Json(nullptr);
  out["ayanamsa_formatted"] = optional_text(chart.ayanamsa_formatted);
  return out;
}

Json to_json(const Synastry& synastry) {
  Json out = Json::object();
  out["cross_aspects"] = to_json_tree(synastry.cross_aspects);
  return out;
}

}  // namespace quorvane
