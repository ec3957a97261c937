// The loss report of a salvaging extract: one line per loss for the
// terminal, and the whole report as JSON for --report.
#include "disc_salvage.h"

#include "json_names.h"
#include "terminal_text.h"

#include <nlohmann/json.hpp>

std::string describe_loss(const SalvageLoss& loss)
{
    std::string who = !loss.path.empty() ? loss.path
                      : loss.disc == 0   ? std::string("(the set)")
                      : loss.last >= 0   ? std::string("(skipped)")
                      : loss.offset < 0  ? "(disc " + std::to_string(loss.disc) + ")"
                                         : std::string("(name lost)");
    std::string line = who;
    if (loss.disc > 0)
        line += "  disc " + std::to_string(loss.disc);
    if (loss.last >= 0)
        line += ", offsets " + std::to_string(loss.offset) + "-" + std::to_string(loss.last) + " (" +
                std::to_string(loss.last - loss.offset + 1) + " bytes)";
    else if (loss.offset >= 0)
        line += ", offset " + std::to_string(loss.offset);
    line += ": " + loss.reason;
    if (loss.removed)
        line += "; removed";
    else if (loss.filled_from >= 0)
        line += "; bytes " + std::to_string(loss.filled_from) + "-" + std::to_string(loss.filled_to) +
                " of the file are filled with zeros";
    else if (!loss.path.empty() && loss.kept >= 0)
        line += "; kept the first " + std::to_string(loss.kept) + " bytes";
    return printable(line);
}

namespace {

nlohmann::ordered_json report_head(bool complete, bool interrupted)
{
    nlohmann::ordered_json report;
    report["format"] = "discset-loss-report";
    report["version"] = kLossReportVersion;
    report["complete"] = complete;
    report["interrupted"] = interrupted;
    return report;
}

}  // namespace

std::string salvage_report_json(const SalvageResult& result)
{
    using json = nlohmann::ordered_json;
    json report = report_head(result.complete(), result.interrupted);
    report["folders"] = result.folders;
    report["files"] = result.files;
    report["bytes"] = result.bytes;
    report["filled"] = result.filled;
    report["header_total"] = result.header_read ? json(result.header_total) : json();
    report["counted_total"] = result.counted_total;
    report["notes"] = result.notes;
    json losses = json::array();
    for (const SalvageLoss& l : result.losses) {
        json j = json::object();
        if (l.raw_path.empty()) {
            j["path"] = json();
            j["path_hex"] = json();
            j["path_escaped"] = false;
        } else {
            put_cp950_name(&j, "path", l.raw_path);
        }
        j["disc"] = l.disc;
        j["offset"] = l.offset < 0 ? json() : json(l.offset);
        j["last_offset"] = l.last < 0 ? json() : json(l.last);
        j["span_bytes"] = l.last < 0 ? json() : json(l.last - l.offset + 1);
        j["reason"] = l.reason;
        j["kept"] = l.kept < 0 ? json() : json(l.kept);
        j["removed"] = l.removed;
        j["filled"] = l.filled_from < 0 ? json() : json::array({l.filled_from, l.filled_to});
        losses.push_back(j);
    }
    report["losses"] = losses;
    return json_text(report);
}

std::string failed_report_json(const std::string& error)
{
    nlohmann::ordered_json report = report_head(false, false);
    report["notes"] = nlohmann::ordered_json::array({error});
    report["losses"] = nlohmann::ordered_json::array();
    return json_text(report);
}
