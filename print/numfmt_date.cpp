// Serial numbers shown as dates and times.
#include <cmath>
#include <cstdio>

#include "print/numfmt_internal.h"

namespace ledgerix::print::numfmt {
namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, int* y, int* m, int* d) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long yy = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (*m <= 2));
}

constexpr long long kDays1899_12_30 = -25569;  // days from 1970-01-01
constexpr long long kDays1904_01_01 = -24107;

struct DateParts {
  int year = 1900, month = 1, day = 0, weekday = 0;  // weekday 0 = Sunday
  long long hours_total = 0, minutes_total = 0, seconds_total = 0;
  int hour = 0, minute = 0, second = 0;
  long long subsecond = 0;  // in units of 10^-subsecond_digits
};

// Serial day numbers as both applications count them: day 60 of the 1900 system is the
// 29 February 1900 that never was, and day 0 is "1900-01-00".
DateParts Split(double v, bool date1904, int sub_digits) {
  long long unit = 1;
  for (int i = 0; i < sub_digits; ++i) unit *= 10;
  long long per_day = 86400LL * unit;
  long long ticks = std::llround(v * static_cast<double>(per_day));
  long long days = ticks / per_day;
  long long rest = ticks % per_day;
  DateParts p;
  p.subsecond = rest % unit;
  long long secs = rest / unit;
  p.hour = static_cast<int>(secs / 3600);
  p.minute = static_cast<int>(secs / 60 % 60);
  p.second = static_cast<int>(secs % 60);
  p.seconds_total = ticks / unit;
  p.minutes_total = p.seconds_total / 60;
  p.hours_total = p.seconds_total / 3600;
  if (date1904) {
    CivilFromDays(kDays1904_01_01 + days, &p.year, &p.month, &p.day);
    p.weekday = static_cast<int>((days + 5) % 7);
  } else {
    if (days == 0) {
      p.year = 1900, p.month = 1, p.day = 0;
    } else if (days == 60) {
      p.year = 1900, p.month = 2, p.day = 29;
    } else {
      CivilFromDays(kDays1899_12_30 + days + (days < 60 ? 1 : 0), &p.year, &p.month, &p.day);
    }
    p.weekday = static_cast<int>((days + 6) % 7);
  }
  return p;
}

const char* const kMonthEn[] = {"January",   "February", "March",    "April",
                                "May",       "June",     "July",     "August",
                                "September", "October",  "November", "December"};
const char* const kMonthZh[] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                "七月", "八月", "九月", "十月", "十一月", "十二月"};
const char* const kDayEn[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                              "Thursday", "Friday", "Saturday"};
const char* const kDayZhShort[] = {"日", "一", "二", "三", "四", "五", "六"};
const char* const kDayZh[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};

// Month and weekday names of the other languages that workbooks name in locale tags. Czech and
// Polish put the month in the genitive after a day of the month ("1. ledna"); the others use one
// form.
struct Names {
  const char* months[12];
  const char* genitive[12];  // nullptr: as months
  const char* short_months[12];
  const char* days[7];
  const char* short_days[7];
};

const Names kGerman = {
    {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {},
    {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"},
};
const Names kFrench = {
    {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre",
     "octobre", "novembre", "décembre"},
    {},
    {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.",
     "déc."},
    {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
    {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."},
};
const Names kSpanish = {
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
     "octubre", "noviembre", "diciembre"},
    {},
    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
    {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"},
    {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"},
};
const Names kCzech = {
    {"leden", "únor", "březen", "duben", "květen", "červen", "červenec", "srpen", "září", "říjen",
     "listopad", "prosinec"},
    {"ledna", "února", "března", "dubna", "května", "června", "července", "srpna", "září", "října",
     "listopadu", "prosince"},
    {"led", "úno", "bře", "dub", "kvě", "čvn", "čvc", "srp", "zář", "říj", "lis", "pro"},
    {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"},
    {"ne", "po", "út", "st", "čt", "pá", "so"},
};
const Names kPolish = {
    {"styczeń", "luty", "marzec", "kwiecień", "maj", "czerwiec", "lipiec", "sierpień", "wrzesień",
     "październik", "listopad", "grudzień"},
    {"stycznia", "lutego", "marca", "kwietnia", "maja", "czerwca", "lipca", "sierpnia", "września",
     "października", "listopada", "grudnia"},
    {"sty", "lut", "mar", "kwi", "maj", "cze", "lip", "sie", "wrz", "paź", "lis", "gru"},
    {"niedziela", "poniedziałek", "wtorek", "środa", "czwartek", "piątek", "sobota"},
    {"niedz.", "pon.", "wt.", "śr.", "czw.", "pt.", "sob."},
};
const Names kRomanian = {
    {"ianuarie", "februarie", "martie", "aprilie", "mai", "iunie", "iulie", "august", "septembrie",
     "octombrie", "noiembrie", "decembrie"},
    {},
    {"ian.", "feb.", "mar.", "apr.", "mai", "iun.", "iul.", "aug.", "sept.", "oct.", "nov.",
     "dec."},
    {"duminică", "luni", "marți", "miercuri", "joi", "vineri", "sâmbătă"},
    {"dum.", "lun.", "mar.", "mie.", "joi", "vin.", "sâm."},
};

const Names* NamesOf(Lang lang) {
  switch (lang) {
    case Lang::German:
      return &kGerman;
    case Lang::French:
      return &kFrench;
    case Lang::Spanish:
      return &kSpanish;
    case Lang::Czech:
      return &kCzech;
    case Lang::Polish:
      return &kPolish;
    case Lang::Romanian:
      return &kRomanian;
    default:
      return nullptr;
  }
}

// The first character of a UTF-8 name.
std::string Initial(const char* name) {
  std::string s = name;
  std::size_t n = 1;
  while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
  return s.substr(0, n);
}

std::string Pad2(long long n, std::size_t width) {
  std::string s = std::to_string(n);
  while (s.size() < width) s.insert(0, "0");
  return s;
}

// The reader's long date and time ([$-F800], [$-F400]) in zh-CN.
const Section& SystemSection(int which) {
  static const std::vector<Section> date = ParseCode("yyyy\"年\"m\"月\"d\"日\"\u3000dddd");
  static const std::vector<Section> time = ParseCode("hh:mm:ss");
  return which == 0 ? date[0] : time[0];
}

}  // namespace

Lang LangOfLcid(long long lcid) {
  switch (lcid & 0x3FF) {
    case 0x04:
      return Lang::Chinese;
    case 0x07:
      return Lang::German;
    case 0x0C:
      return Lang::French;
    case 0x0A:
      return Lang::Spanish;
    case 0x05:
      return Lang::Czech;
    case 0x15:
      return Lang::Polish;
    case 0x18:
      return Lang::Romanian;
    default:
      return Lang::English;
  }
}

ShownValue RenderDate(const Section& s, double v, bool date1904) {
  ShownValue out;
  // Negative serials and years past 9999 cannot be shown: the cell prints "#" across.
  if (v < 0 || v >= 2958466) {
    out.pieces.push_back({ShownPiece::Kind::Fill, "#"});
    out.text = "#";
    return out;
  }
  if (s.system_date == 1) return RenderDate(SystemSection(0), v, date1904);
  if (s.system_date == 2) return RenderDate(SystemSection(1), v, date1904);
  DateParts p = Split(v, date1904, s.subsecond_digits);
  bool zh = s.lang == Lang::Chinese;
  const Names* names = NamesOf(s.lang);
  bool has_day = false;
  for (const Token& tok : s.tokens)
    has_day |= tok.kind == Token::Kind::Date && tok.text[0] == 'd' && tok.text.size() <= 2;
  std::vector<ShownPiece>& pieces = out.pieces;
  bool filled = false;
  auto text = [&pieces](std::string t) {
    if (t.empty()) return;
    if (!pieces.empty() && pieces.back().kind == ShownPiece::Kind::Text)
      pieces.back().text += t;
    else
      pieces.push_back({ShownPiece::Kind::Text, std::move(t)});
  };
  // digit_by_digit: years; short_ten: months and days read "十五", not "一十五".
  auto num = [&](long long n, std::size_t width, bool digit_by_digit = false,
                 bool short_ten = false) {
    std::string d = Pad2(n, width);
    if (s.dbnum) {
      d = ChineseNumber(d, s.dbnum, !digit_by_digit);
      if (short_ten && (d.rfind("一十", 0) == 0 || d.rfind("壹拾", 0) == 0)) d.erase(0, 3);
    }
    text(d);
  };
  int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  for (const Token& tok : s.tokens) {
    switch (tok.kind) {
      case Token::Kind::Date: {
        std::size_t n = tok.text.size();
        switch (tok.text[0]) {
          case 'y':
            if (n <= 2)
              num(p.year % 100, 2, true);
            else
              num(p.year, 4, true);
            break;
          case 'm':
            if (n <= 2) {
              num(p.month, n, false, true);
            } else if (names) {
              const char* const* full =
                  has_day && names->genitive[0] ? names->genitive : names->months;
              text(n == 3   ? names->short_months[p.month - 1]
                   : n == 5 ? Initial(full[p.month - 1])
                            : full[p.month - 1]);
            } else if (n == 3)
              text(zh ? std::to_string(p.month) + "月"
                      : std::string(kMonthEn[p.month - 1]).substr(0, 3));
            else if (n == 5)  // the first character of the name
              text(zh ? std::string(kMonthZh[p.month - 1]).substr(0, 3)
                      : std::string(kMonthEn[p.month - 1]).substr(0, 1));
            else
              text(zh ? kMonthZh[p.month - 1] : kMonthEn[p.month - 1]);
            break;
          case 'a':  // aaa, aaaa: the Chinese weekday whatever the locale
            text(n == 3 ? kDayZhShort[p.weekday] : kDayZh[p.weekday]);
            break;
          case 'e':  // the year of the era: the Gregorian year here
            num(p.year, 4, true);
            break;
          case 'd':
            if (n <= 2)
              num(p.day, n, false, true);
            else if (names)
              text(n == 3 ? names->short_days[p.weekday] : names->days[p.weekday]);
            else if (n == 3)
              text(zh ? kDayZhShort[p.weekday] : std::string(kDayEn[p.weekday]).substr(0, 3));
            else
              text(zh ? kDayZh[p.weekday] : kDayEn[p.weekday]);
            break;
          case 'h':
            num(s.has_ampm ? hour12 : p.hour, std::min<std::size_t>(n, 2));
            break;
          case 's':
            num(p.second, std::min<std::size_t>(n, 2));
            break;
        }
        break;
      }
      case Token::Kind::Minute:
        num(p.minute, tok.text.size());
        break;
      case Token::Kind::Elapsed:
        if (tok.text[0] == 'h')
          num(p.hours_total, tok.text.size());
        else if (tok.text[0] == 'm')
          num(p.minutes_total, tok.text.size());
        else
          num(p.seconds_total, tok.text.size());
        break;
      case Token::Kind::AmPm: {
        bool pm = p.hour >= 12;
        if (tok.text.size() == 3)  // A/P keeps the case written
          text(std::string(1, pm ? tok.text[2] : tok.text[0]));
        else if (tok.text == "上午/下午" || zh)
          text(pm ? "下午" : "上午");
        else
          text(pm ? "PM" : "AM");
        break;
      }
      case Token::Kind::SubSecond: {
        long long sub = p.subsecond;
        for (int k = tok.n; k < s.subsecond_digits; ++k) sub /= 10;
        text("." + Pad2(sub, tok.n));
        break;
      }
      case Token::Kind::Pad:
        pieces.push_back({ShownPiece::Kind::Pad, tok.text});
        break;
      case Token::Kind::Fill:
        if (!filled) pieces.push_back({ShownPiece::Kind::Fill, tok.text});
        filled = true;
        break;
      case Token::Kind::Literal:
        text(tok.text);
        break;
      case Token::Kind::General:
        text(GeneralText(v, 11));
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace ledgerix::print::numfmt
