#include "options.h"

#include <cstring>
#include <string>

namespace {

// Options of the windowing toolkit that take a value, and those that do not.
const char* const toolkitWithValue[] = {"-display", "-geometry"};
const char* const toolkitFlags[] = {"-direct", "-indirect", "-iconic", "-gldebug", "-sync"};

template <std::size_t N>
bool listed(const char* const (&names)[N], const char* arg) {
  for (const char* name : names) {
    if (std::strcmp(name, arg) == 0) return true;
  }
  return false;
}

// The picture's size from "WxH": false unless both are whole numbers from
// 1 to 65535.
bool readSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const auto number = [](const std::string& digits, int& value) {
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    value = std::stoi(digits);
    return value >= 1 && value <= 65535;
  };
  return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

// Where the value of an option that takes one goes; nullptr for others.
std::string* valueOf(Options& options, const std::string& name) {
  if (name == "--png") return &options.png;
  if (name == "--size") return &options.size;
  if (name == "--layer") return &options.layer;
  if (name == "--crossings") return &options.crossings;
  return nullptr;
}

}  // namespace

const char* const usageText =
    "Upotreba: segments [OPCIJE] [FAJL]\n"
    "Cita duzi iz FAJL-a (bez njega iz test.txt u tekucem direktorijumu; - je standardni\n"
    "ulaz), za svaki par ispisuje da li se seku, poklapaju ili nemaju presecnih tacaka,\n"
    "i zatim ih prikazuje u prozoru.\n"
    "\n"
    "Ulaz: brojevi razdvojeni belinama, po cetiri za svaku duz: x1 y1 x2 y2; ili mapa\n"
    "koju GDAL cita (GeoJSON, Shapefile, GeoPackage, FlatGeobuf, CSV sa WKT, ...): duzi su\n"
    "delovi njenih linija i ivica poligona. Mapa se sudi tacno, na koordinatama kakve\n"
    "GDAL daje (double), kao u GIS alatima: linije se seku u tacki koja je unutar obe\n"
    "(i u temenu usred linije), dodiruju se (\"se dodiruju\", u CSV-u touch) kad je tacka\n"
    "kraj bar jedne linije, poklapaju se kad dele deo duzine. Ne ispisuju se susedni\n"
    "delovi iste linije, ni (bez --touches) dodiri; ispisuju se samo parovi koji se seku\n"
    "ili poklapaju, a uz --csv i sloj, objekat, deo i teme obe duzi i shared_vertex (1\n"
    "kad je tacka teme obe linije). Tekst se sudi pravilima zadatka, sa tolerancijom.\n"
    "U mapi u stepenima, duzi koje obuhvataju vise od 180 stepeni geografske duzine\n"
    "(linije presecene na 180. meridijanu) seku sve na svojoj sirini: upozorenje ih broji.\n"
    "\n"
    "Opcije:\n"
    "  -m, --meeting-only\n"
    "                  samo parovi koji se seku ili poklapaju, nadjeni bez ispitivanja\n"
    "                  svakog para (za velike crteze)\n"
    "  --csv           izvestaj za druge programe: first,second,result,x,y, pa po red\n"
    "                  za svaki par (result: cross, overlap, none, za mapu i touch; x,y:\n"
    "                  presecna tacka);\n"
    "                  poruke o ulazu tada idu na standardnu gresku\n"
    "  --no-window     samo izvestaj, bez prozora\n"
    "  --layer IME     iz mape samo sloj IME (bez nje svi slojevi redom)\n"
    "  --touches       iz mape i parovi koji se samo dodiruju krajem\n"
    "  --all-pairs     iz mape izvestaj o svakom paru osim susednih delova iste linije i\n"
    "                  (bez --touches) dodira (bez nje samo parovi koji se seku)\n"
    "                  (--touches, --all-pairs i --crossings vaze samo za mapu; uz tekst\n"
    "                  su greska, status 64)\n"
    "  --tolerance     mapa po pravilima zadatka, sa tolerancijom, umesto tacno\n"
    "  --exact         tekst tacno, kao mapa (presecna tacka u CSV-u kao double)\n"
    "  --crossings PUTANJA\n"
    "                  presecne tacke i preklapanja mape kao sloj (.gpkg, .geojson, .shp,\n"
    "                  .fgb, .gml, .kml, .sqlite, .csv); presecne tacke u sloju\n"
    "                  crossings, preklapanja u sloju overlaps\n"
    "  --png PUTANJA, --png=PUTANJA\n"
    "                  prvi prikaz prozora (1024 x 700) u PNG fajl, bez ekrana; ne ide\n"
    "                  uz --no-window\n"
    "  --size SxV      velicina PNG slike u pikselima, npr. 4096x2048 (bez nje 1024x700);\n"
    "                  oznake i tacke zadrzavaju svoju velicinu u pikselima\n"
    "  -h, --help      ovo uputstvo\n"
    "  --version       verzija programa\n"
    "  --              sve posle je ime fajla, i kad pocinje crticom\n"
    "  -display EKRAN, -geometry WxH+X+Y, -iconic, -sync, -direct, -indirect, -gldebug\n"
    "                  opcije prozorskog sistema\n"
    "\n"
    "Izvestaj ide na standardni izlaz, a uz njega i poruke o ulazu (nema fajla, nema\n"
    "nijedne duzi, neispravan podatak); sve ostalo ide na standardnu gresku.\n"
    "\n"
    "Prozor: prvi prikaz je centriran na okviru duzi (uz tacke (0, 0) i (1024, 700)), a\n"
    "udaljenost se uzima po sirini okvira, pa visoki crtezi izlaze preko gornje i donje\n"
    "ivice; f prikazuje sve.\n"
    "  klik           izbor duzi ili presecne tacke; traka dole kaze sta seku\n"
    "  tocak, +, -    blize i dalje; prevlacenje i strelice pomeraju prikaz\n"
    "  f              sve u prozoru          r, Home  nazad na prvi prikaz\n"
    "  n              brojevi duzi           c        koordinate pod misem\n"
    "  t              sakriva i vraca presecne tacke (na mapi oznake)\n"
    "  p              slika prozora u segments-N.png\n"
    "  Esc, q         kraj\n"
    "Mapa se crta svojim stilom: tanke sive linije bez tacaka u temenima, presek kao\n"
    "prsten (crveno-narandzast), preklapanje kao debela plava linija, dodir kao zelena\n"
    "tacka, a traka dole daje legendu s brojem preseka, preklapanja i dodira; prvi\n"
    "prikaz obuhvata ceo sloj, a c daje geografsku duzinu i sirinu u stepenima (ili\n"
    "koordinate u jedinicama sloja). Boje su iz palete Okabe-Ito, razlikuju ih i ljudi\n"
    "sa cestim slabostima raspoznavanja boja.\n"
    "\n"
    "Izlazni status:\n"
    "  0      prozor je zatvoren; izvestaj (i PNG) je ispisan; ulaz nema nijednu duz;\n"
    "         --help, --version\n"
    "  1      ulazni fajl se ne moze otvoriti ili procitati (pa se, bez --no-window, ceka\n"
    "         na dva znaka sa standardnog ulaza); mapa se ne moze otvoriti; ili, posle\n"
    "         celog izvestaja, nema ekrana ni OpenGL-a\n"
    "  2      neispravan podatak u ulaznom fajlu; neispravna mapa\n"
    "  3      izvestaj, PNG fajl ili sloj --crossings se ne moze ispisati\n"
    "  64     nepoznata opcija ili pogresna upotreba (i PNG fajl koji je sam ulazni fajl,\n"
    "         --size veci od najvece slike grafickog drajvera, opcije mape uz tekst)\n"
    "  128+N  prekinut signalom N (SIGHUP, SIGINT, SIGTERM), posle celog reda izvestaja\n"
    "  255    nema dovoljno memorije\n";

Options parseOptions(int argc, char** argv) {
  Options options;
  auto fail = [&](const std::string& message) {
    options.error = message;
    return options;
  };
  options.toolkitArgs.push_back(argv[0]);
  bool fileGiven = false, optionsEnd = false;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool isOption = !optionsEnd && arg.size() > 1 && arg[0] == '-';
    if (!isOption) {
      if (fileGiven) return fail("samo jedan ulazni fajl, a dat je i " + arg);
      options.file = arg;
      fileGiven = true;
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--no-window") {
      options.window = false;
    } else if (arg == "-m" || arg == "--meeting-only") {
      options.meetingOnly = true;
    } else if (arg == "--csv") {
      options.csv = true;
    } else if (arg == "--all-pairs") {
      options.allPairs = true;
    } else if (arg == "--touches") {
      options.touches = true;
    } else if (arg == "--exact") {
      options.exact = true;
    } else if (arg == "--tolerance") {
      options.tolerance = true;
    } else if (std::string* value = valueOf(options, arg.substr(0, arg.find('=')));
               value && arg.find('=') != std::string::npos) {
      *value = arg.substr(arg.find('=') + 1);
      if (value->empty()) return fail("opcija " + arg.substr(0, arg.find('=')) + " trazi vrednost");
    } else if (valueOf(options, arg) || listed(toolkitWithValue, argv[k])) {
      if (k + 1 == argc) return fail("opcija " + arg + " trazi vrednost");
      if (std::string* value = valueOf(options, arg)) {
        *value = argv[++k];
        if (value->empty()) return fail("opcija " + arg + " trazi vrednost");
      } else {
        options.toolkitArgs.push_back(argv[k]);
        options.toolkitArgs.push_back(argv[++k]);
      }
    } else if (listed(toolkitFlags, argv[k])) {
      options.toolkitArgs.push_back(argv[k]);
    } else {
      return fail("nepoznata opcija " + arg);
    }
  }
  if (!options.png.empty() && !options.window) return fail("--png i --no-window se iskljucuju");
  if (options.allPairs && options.meetingOnly) {
    return fail("--all-pairs i --meeting-only se iskljucuju");
  }
  if (options.exact && options.tolerance) return fail("--exact i --tolerance se iskljucuju");
  if (!options.size.empty()) {
    if (options.png.empty()) return fail("--size vazi samo uz --png");
    if (!readSize(options.size, options.pictureWidth, options.pictureHeight)) {
      return fail(
          "--size trazi SIRINAxVISINA u pikselima (1 do 65535), na primer 4096x2048, a "
          "dato je " +
          options.size);
    }
  }
  options.toolkitArgs.push_back(nullptr);
  return options;
}
