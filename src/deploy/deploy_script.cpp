// The deployment script's frame around the planned steps: a header saying what it does and
// warns of, the database guard, one transaction spanning every batch, and after each step a
// check that rolls back, says which step failed and stops every later batch (NOEXEC) when the
// step raised an error or lost the transaction.
#include "deploy/deploy_plan.h"

#include "catalog/sql_quote.h"
#include "core/program_info.h"
#include "deploy/deploy_renames.h"
#include "explore/module_references.h"
#include "util/date_text.h"

#include <set>

namespace orv {

std::string QualifiedSql(const std::string& schema, const std::string& name) {
    return QuoteCatalogName(schema) + "." + QuoteCatalogName(name);
}

std::string UnicodeLiteral(const std::string& text) {
    return "N'" + SqlLiteral(text) + "'";
}

std::string CountText(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string NameKey(const std::string& schema, const std::string& name) {
    return UpperName(schema) + "." + UpperName(name);
}

std::string ObjectKey(const DeployObject& object) {
    return std::to_string(object.Type) + ":" + NameKey(object.Schema, object.Name);
}

std::vector<DeployObject> OfferedObjects(const DbCompareResults& results) {
    std::vector<DeployObject> offered;
    for (const PairVerdict& p : results.Pairs) {
        if (p.Status != PairStatus::Different && p.Status != PairStatus::OnlyInSource &&
            p.Status != PairStatus::OnlyInTarget)
            continue;
        const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
        offered.push_back({p.Type, ref.Schema, ref.Name, p.Status});
    }
    return offered;
}

bool TickedByDefault(const DeployObject& object) {
    return object.Status == PairStatus::Different || object.Status == PairStatus::OnlyInSource;
}

namespace {

constexpr const char* kEol = "\r\n";

// A name or message inside a "--" comment: on one line.
std::string CommentText(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

// A RAISERROR message: apostrophes doubled, and "%" doubled so it is not read as a format.
std::string MessageLiteral(const std::string& text) {
    std::string out = "N'";
    for (char c : text) {
        if (c == '\'' || c == '%')
            out += c;
        out += c;
    }
    return out + "'";
}

std::string ObjectLine(const DeployObject& o) {
    std::string status = PairStatusWord(o.Status);
    if (o.Status == PairStatus::OnlyInTarget)
        status += ": dropped";
    return GetObjectTypeName(o.Type, true) + " " + BracketName(o.Schema) + "." +
           BracketName(o.Name) + " (" + status + ")";
}

// Schemas the included source objects live in that the target lacks (later servers only).
void PlanSchemas(const DeployInput& input, DeployPlan& plan) {
    if (input.Target->VersionMajor <= 8)
        return;
    std::set<std::string> have{"DBO"};
    for (const std::string& s : input.Target->Schemas)
        have.insert(UpperName(s));
    for (const DeployObject& o : input.Included) {
        if (o.Status == PairStatus::OnlyInTarget || have.count(UpperName(o.Schema)))
            continue;
        have.insert(UpperName(o.Schema));
        plan.Schemas.push_back(
            {"Create schema " + BracketName(o.Schema),
             "CREATE SCHEMA " + QuoteCatalogName(o.Schema) + " AUTHORIZATION [dbo]", false, ""});
    }
}

class ScriptWriter {
public:
    ScriptWriter(DeployScript& out, int steps) : out_(out), steps_(steps) {}

    void Frame(const std::string& sql) { Batch(sql, "", 0); }

    void Step(const PlanStep& step) {
        if (step.LeftOut) {
            ++out_.LeftOutSteps;
            out_.Text += "-- Left out (" + CommentText(step.Reason) + "):" + kEol;
            size_t start = 0;
            while (start <= step.Sql.size()) {
                size_t end = step.Sql.find('\n', start);
                std::string line = step.Sql.substr(
                    start, end == std::string::npos ? std::string::npos : end - start);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                out_.Text += "-- " + line + kEol;
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
            return;
        }
        ++number_;
        std::string label =
            "Step " + std::to_string(number_) + " of " + std::to_string(steps_) + ": " + step.Name;
        out_.Text += "-- " + CommentText(label) + kEol;
        Batch(step.Sql, step.Name, number_);
        Frame("IF @@ERROR <> 0 OR @@TRANCOUNT = 0\r\nBEGIN\r\n"
              "    IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n"
              "    RAISERROR(" +
              MessageLiteral("Step " + std::to_string(number_) + " (" + step.Name +
                             ") failed; the deployment was rolled back.") +
              ", 16, 1)\r\n    SET NOEXEC ON\r\nEND");
    }

    // Ends the last batch.
    void Finish() {
        if (open_)
            out_.Text += std::string("GO") + kEol;
        open_ = false;
    }

private:
    // A batch's GO is written only when the next batch starts, so the comments naming the
    // next step stay in the batch before it: SQL Server keeps whatever precedes CREATE in a
    // module's batch as part of the module's text.
    void Batch(const std::string& sql, const std::string& step, int number) {
        Finish();
        out_.Text += sql;
        out_.Text += kEol;
        open_ = true;
        out_.Batches.push_back({sql, step, number});
    }

    DeployScript& out_;
    int steps_;
    int number_ = 0;
    bool open_ = false;
};

} // namespace

std::string ScriptWithLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

namespace {

// The confirmed renames that fit the databases, on tables the deployment changes; a rename
// that does not fit is warned of and not made.
std::vector<ColumnRename> UsableRenames(const DeployInput& input,
                                        std::vector<std::string>& warnings) {
    std::vector<ColumnRename> usable;
    for (const ColumnRename& r : input.Options.ColumnRenames) {
        ColumnRename resolved;
        const std::string why = CheckColumnRename(*input.Source, *input.Target, r, resolved);
        if (!why.empty()) {
            warnings.push_back("Not deployed: the column rename " + ColumnRenameText(r) + ": " +
                               why + ".");
            continue;
        }
        for (const DeployObject& o : input.Included) {
            if (o.Type == kTypeTable && o.Status == PairStatus::Different &&
                SameName(o.Schema, resolved.Schema) && SameName(o.Name, resolved.Table)) {
                usable.push_back(resolved);
                break;
            }
        }
    }
    return usable;
}

} // namespace

DeployScript BuildDeployScript(const DeployInput& original) {
    DeployScript script;
    DeployPlan plan;
    // Confirmed renames run first on their tables: everything after them is planned against
    // the target as it will be then.
    DeployInput input = original;
    SchemaModel renamedTarget;
    if (!original.Options.ColumnRenames.empty()) {
        input.Options.ColumnRenames = UsableRenames(original, plan.Warnings);
        renamedTarget = TargetAfterRenames(*original.Target, input.Options.ColumnRenames);
        input.Target = &renamedTarget;
    }
    PlanSchemas(input, plan);
    std::set<std::string> recreate;
    PlanTables(input, plan, recreate);
    PlanModules(input, recreate, plan);

    const std::vector<PlanStep>* phases[] = {
        &plan.Schemas,   &plan.ModuleDrops, &plan.Unblock,     &plan.Drops,   &plan.TableChanges,
        &plan.NewTables, &plan.Constraints, &plan.ForeignKeys, &plan.Modules, &plan.Triggers};
    for (const auto* phase : phases) {
        for (const PlanStep& step : *phase)
            script.StepCount += step.LeftOut ? 0 : 1;
    }
    script.Warnings = plan.Warnings;

    const DeployHeader& h = input.Header;
    std::string& t = script.Text;
    t += "-- Deployment script: makes the structure of the target database match the source.";
    t += kEol;
    t += "-- Source: server " + CommentText(h.SourceServer) + ", database " +
         CommentText(h.SourceDatabase) + kEol;
    t += "-- Target: server " + CommentText(h.TargetServer) + ", database " +
         CommentText(h.TargetDatabase) + kEol;
    t += "-- Made " + LocalDateTimeText(h.Made) + " by Orvane " +
         CommentText(h.ProgramVersion.empty() ? std::string(kProgramVersion) : h.ProgramVersion) +
         "." + kEol;
    t += "-- Included (" + std::to_string(input.Included.size()) + "):" + kEol;
    for (const DeployObject& o : input.Included)
        t += "--     " + CommentText(ObjectLine(o)) + kEol;
    t += "-- Left out (" + std::to_string(input.LeftOut.size()) + "):" + kEol;
    for (const DeployObject& o : input.LeftOut)
        t += "--     " + CommentText(ObjectLine(o)) + kEol;
    t += "-- Warnings (" + std::to_string(plan.Warnings.size()) + "):" + kEol;
    for (const std::string& w : plan.Warnings)
        t += "--     " + CommentText(w) + kEol;
    if (script.StepCount == 0) {
        t += "-- Nothing to deploy.";
        t += kEol;
        // The held-back steps are still shown, so the reader sees what was not done.
        ScriptWriter comments(script, 0);
        for (const auto* phase : phases) {
            for (const PlanStep& step : *phase)
                comments.Step(step);
        }
        return script;
    }
    t += kEol;

    ScriptWriter w(script, script.StepCount);
    w.Frame("SET NOCOUNT ON");
    w.Frame("USE " + QuoteCatalogName(h.TargetDatabase));
    w.Frame("IF DB_NAME() <> " + UnicodeLiteral(h.TargetDatabase) + "\r\nBEGIN\r\n    RAISERROR(" +
            MessageLiteral("This script was made for the database " + h.TargetDatabase +
                           ": it stops without changing anything.") +
            ", 16, 1)\r\n    SET NOEXEC ON\r\nEND");
    w.Frame("SET XACT_ABORT ON");
    w.Frame("BEGIN TRANSACTION");
    for (const auto* phase : phases) {
        for (const PlanStep& step : *phase)
            w.Step(step);
    }
    w.Frame("COMMIT TRANSACTION\r\nPRINT " +
            UnicodeLiteral("The deployment is complete: " + std::to_string(script.StepCount) +
                           (script.StepCount == 1 ? " step ran." : " steps ran.")));
    w.Frame("SET NOEXEC OFF");
    w.Finish();
    return script;
}

} // namespace orv
