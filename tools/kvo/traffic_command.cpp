#include "traffic_command.h"

#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <memory>
#include <ostream>

#include "connect/traffic/currency_symbol.h"
#include "connect/traffic/draw/charts.h"
#include "connect/traffic/statistics.h"
#include "connect/traffic/traffic_settings.h"
#include "linkwatch/traffic_record.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "tools/kvo/commands.h"

namespace kvo::cli {
namespace {

using namespace kvo::traffic;

std::string Money(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(v));
    return buf;
}

// "YYYY-MM-DD", "YYYY-MM" or "YYYY" (parts = 3, 2, 1); missing parts come from today.
bool ParseDate(const std::string& text, int parts, int& y, int& m, int& d) {
    const ce::SYSTEMTIME now = ce::GetLocalTime();
    y = now.wYear;
    m = now.wMonth;
    d = now.wDay;
    if (text.empty())
        return true;
    static const char* shapes[] = {"", "0000", "0000-00", "0000-00-00"};
    std::string shape = shapes[parts];
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != shape[i])
            return false;
    y = std::stoi(text.substr(0, 4));
    if (parts >= 2)
        m = std::stoi(text.substr(5, 2));
    if (parts >= 3)
        d = std::stoi(text.substr(8, 2));
    if (parts < 3)
        d = 1;
    return y >= 1980 && y <= 9999 && ce::IsValidDate(y, m, d);
}

struct Context {
    kvo::linkwatch::CMonitorFiles files = kvo::linkwatch::CMonitorFiles::Installed();
    MonitorSettings settings;
};

// The logs are read only while the monitor is not writing them.
bool Prepare(Context& c, std::ostream& err) {
    if (!c.files.WaitWhileWriting(3000)) {
        err << "kvo: the traffic monitor is writing its log ("
            << ce::ToUtf8(c.files.Path(kvo::linkwatch::kWrt))
            << " exists); try again in a moment\n";
        return false;
    }
    c.settings = LoadPageSettings(c.files);
    return true;
}

void Row(std::ostream& out, const std::string& label, const DayTraffic& t) {
    out << label << '\t' << t.received << '\t' << t.transmitted << '\t' << t.total << '\t' << t.peak
        << '\t' << Money(t.inclusiveCost) << '\t' << Money(t.additionalCost) << '\n';
}

int RunDay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int y, m, d;
    if (args.size() > 1 || !ParseDate(args.empty() ? "" : args[0], 3, y, m, d)) {
        err << "usage: kvo traffic day [YYYY-MM-DD]\n";
        return kExitUsage;
    }
    Context c;
    if (!Prepare(c, err))
        return kExitFailed;
    DayTraffic t = CTrafficStatistics(c.files, c.settings).Day(y, m, d);
    out << "received " << t.received << "\ntransmitted " << t.transmitted << "\ntotal " << t.total
        << "\npeak " << t.peak << "\nallowance " << t.dailyAllowance << "\ninclusive-cost "
        << Money(t.inclusiveCost) << "\nadditional-cost " << Money(t.additionalCost) << "\n";
    return kExitOk;
}

int RunMonth(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int y, m, d;
    if (args.size() > 1 || !ParseDate(args.empty() ? "" : args[0], 2, y, m, d)) {
        err << "usage: kvo traffic month [YYYY-MM]\n";
        return kExitUsage;
    }
    Context c;
    if (!Prepare(c, err))
        return kExitFailed;
    auto days = CTrafficStatistics(c.files, c.settings).Month(y, m);
    for (int i = 0; i < kvo::linkwatch::DaysInMonth(m, y); ++i)
        Row(out, std::to_string(i + 1), days[i]);
    return kExitOk;
}

int RunYear(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int y, m, d;
    if (args.size() > 1 || !ParseDate(args.empty() ? "" : args[0], 1, y, m, d)) {
        err << "usage: kvo traffic year [YYYY]\n";
        return kExitUsage;
    }
    Context c;
    if (!Prepare(c, err))
        return kExitFailed;
    auto months = CTrafficStatistics(c.files, c.settings).Year(y);
    for (int i = 0; i < 12; ++i) Row(out, std::to_string(i + 1), months[i]);
    return kExitOk;
}

int RunChart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "usage: kvo traffic chart day|month|year [DATE] [--costs] FILE.png\n";
    std::vector<std::string> plain;
    bool costs = false;
    for (const std::string& a : args) {
        if (a == "--costs")
            costs = true;
        else
            plain.push_back(a);
    }
    if (plain.size() < 2 || plain.size() > 3) {
        err << usage;
        return kExitUsage;
    }
    const std::string view = plain[0], file = plain.back();
    const std::string date = plain.size() == 3 ? plain[1] : "";
    const int parts = view == "day" ? 3 : view == "month" ? 2 : view == "year" ? 1 : 0;
    int y, m, d;
    if (parts == 0 || !ParseDate(date, parts, y, m, d) || (costs && view == "day")) {
        err << usage
            << (costs && view == "day" ? "  (--costs is for the month and year charts)\n" : "");
        return kExitUsage;
    }
    Context c;
    if (!Prepare(c, err))
        return kExitFailed;
    // Fonts need an application object; the offscreen platform needs no display.
    static int argc = 3;
    static char arg0[] = "kvo", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance())
        app = std::make_unique<QGuiApplication>(argc, argv);

    CTrafficStatistics stats(c.files, c.settings);
    const std::string currency = CurrencySymbol();
    const ChartMode mode = costs ? ChartMode::Costs : ChartMode::Traffic;
    QImage img = NewChartImage();
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::TextAntialiasing);
        if (view == "day")
            DrawDayView(p, stats.Day(y, m, d), c.settings, currency);
        if (view == "month")
            DrawMonthChart(p, stats.Month(y, m), kvo::linkwatch::DaysInMonth(m, y), mode, currency);
        if (view == "year")
            DrawYearChart(p, stats.Year(y), mode, currency);
    }
    if (!img.save(QString::fromStdString(file), "PNG")) {
        err << "kvo: cannot write " << file << "\n";
        return kExitFailed;
    }
    out << "wrote " << file << "\n";
    return kExitOk;
}

}  // namespace

int RunTraffic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"day",
         {"traffic day [YYYY-MM-DD]",
          "one day (today by default): key value lines received, transmitted, total, peak, "
          "allowance, inclusive-cost, additional-cost",
          RunDay}},
        {"month",
         {"traffic month [YYYY-MM]",
          "one line per day: day, received, transmitted, total, peak, inclusive cost, "
          "additional cost (tab-separated)",
          RunMonth}},
        {"year", {"traffic year [YYYY]", "one line per month, the same columns", RunYear}},
        {"chart",
         {"traffic chart day|month|year [DATE] [--costs] FILE.png",
          "the traffic page's chart as a 240 x 220 picture (--costs: costs instead of volumes)",
          RunChart}},
    };
    return RunSubcommand("kvo traffic", table, args, out, err);
}

}  // namespace kvo::cli
