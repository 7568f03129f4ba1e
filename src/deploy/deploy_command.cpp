#include "deploy/deploy_command.h"

#include "deploy/deploy_renames.h"
#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"
#include "export/export_file.h"
#include "util/option_words.h"

#include <algorithm>

namespace orv {

const char* const kDeployScriptHelp =
    "Compares two databases as compare-all does and writes the deployment script that makes\n"
    "the structure of the Target match the Source: tables changed in place (rows kept),\n"
    "keys, indexes, defaults and constraints, foreign keys, views, functions, procedures and\n"
    "triggers, in dependency order, in one transaction that rolls back on the first error.\n"
    "\n"
    "  <server1> <db1>           the Source: a stored server (or any server with --login)\n"
    "                            and a database on it\n"
    "  folder:<dir>              the Source may be a scripts folder ('orvane-cli\n"
    "                            script-folder'), run in a simulator started for the\n"
    "                            purpose; an object whose script it refuses is left alone\n"
    "  snapshot:<file>           the Source may be a snapshot file ('orvane-cli\n"
    "                            snapshot'): written as a scripts folder into a private\n"
    "                            temporary folder (removed once its scripts have run) and\n"
    "                            deployed from as folder:<dir> is, to bring a database back\n"
    "                            to what it was when the snapshot was taken\n"
    "  <server2> <db2>           the Target, the database the script changes\n"
    "  --types <list>            the types to compare and deploy, as for compare-all\n"
    "  --include <pattern>       deploys only the objects matching a pattern (repeatable)\n"
    "  --exclude <pattern>       leaves out the objects matching a pattern (repeatable)\n"
    "  --drop-extra              also drops the objects that exist in the Target only\n"
    "  --allow-data-loss         also runs the steps that lose data (dropping a column or a\n"
    "                            table that holds rows, a shorter type or length, NOT NULL\n"
    "                            on a column holding NULLs); without it they are listed in\n"
    "                            the script's warnings and left out, commented\n"
    "  --rename-column <table.old=new>\n"
    "                            the column <old>, which only the Target's table has, is\n"
    "                            the column <new>, which only the Source's has: renamed in\n"
    "                            place with sp_rename, keeping every row's value, instead\n"
    "                            of dropped and added (repeatable; <table> as schema.table\n"
    "                            or table). A rename is never assumed: compare-all notes\n"
    "                            a likely one as \"renamed? old \u2192 new\"\n"
    "  --output <file>           writes the script to <file> (replaced only when written\n"
    "                            whole) instead of standard output\n"
    "  --apply                   runs the script on the Target, then compares the deployed\n"
    "                            objects again and says whether the Target now matches;\n"
    "                            first it reads again what the script changes or relies on\n"
    "                            in the Target and runs nothing if any of it changed since\n"
    "                            the comparison\n"
    "  --confirm-target <database>\n"
    "                            required with --apply: the Target database named again\n"
    "  --reading auto|full|hash-first\n"
    "                            how module texts are read, as for compare-all\n"
    "  --login <name>            connects to both servers with this SQL Server login\n"
    "  --password-file <file>    the login's password is the first line of this file\n"
    "  --encryption <mode>       request, require or off: TLS to every server of the run,\n"
    "                            in place of what the stored servers say\n"
    "  --ca-file <file>          every server's certificate must be signed by a CA in this\n"
    "                            PEM file and made out to the server's name (implies\n"
    "                            require)\n"
    "  --help                    this text\n"
    "\n"
    "Without --password-file the login's password is taken from the environment variable\n"
    "ORVANE_PASSWORD. The script is written for the Target's server version (SQL Server 2000\n"
    "syntax for a 2000 Target). It stops at once in any database but the Target. An\n"
    "encrypted module cannot be deployed: it is named in the warnings and left out.\n"
    "\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the run (a\n"
    "script being applied is rolled back).\n"
    "\n"
    "Exit status: 0 the Target matches the Source after --apply, or there is nothing to\n"
    "deploy; 1 a script was written (without --apply), or differences remain after it ran;\n"
    "2 error (wrong arguments, a server or file failure, a comparison that did not\n"
    "complete, or a script that failed and was rolled back); 3 --apply ran nothing because\n"
    "the Target changed between the comparison and the run (run the command again).\n";

bool ParseDeployScriptArgs(const std::vector<std::string>& words, DeployScriptArgs& args,
                           std::string& error) {
    args = DeployScriptArgs{};
    args.Types.assign(std::begin(kSelectorTypeOrder), std::end(kSelectorTypeOrder));
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return w == "--help" || w == "-h"; })) {
        args.Help = true;
        return true;
    }
    std::vector<std::string> positional;
    bool typesGiven = false, outputGiven = false, policyGiven = false, readingGiven = false,
         confirmGiven = false;
    NotComparablePolicy policy = NotComparablePolicy::Report;
    OptionWords reader(words);
    while (reader.Next()) {
        const std::string& name = reader.Name();
        std::string v;
        const int filterWord = ReadFilterOption(reader, args.Filter, policy, policyGiven, error);
        const int loginWord = filterWord == 0 ? ReadLoginOption(reader, args, error) : 0;
        if (filterWord < 0 || loginWord < 0)
            return false;
        if (filterWord > 0 || loginWord > 0) {
            continue;
        } else if (name == "--drop-extra" && !reader.HasInlineValue()) {
            args.DropExtra = true;
        } else if (name == "--allow-data-loss" && !reader.HasInlineValue()) {
            args.AllowDataLoss = true;
        } else if (name == "--rename-column") {
            ColumnRename rename;
            if (!reader.Value(v, error) || !ParseColumnRename(v, rename, error))
                return false;
            args.ColumnRenames.push_back(rename);
        } else if (name == "--apply" && !reader.HasInlineValue()) {
            args.Apply = true;
        } else if (name == "--confirm-target") {
            if (!reader.Once(confirmGiven, error) || !reader.Value(args.ConfirmTarget, error))
                return false;
        } else if (name == "--types") {
            if (!reader.Once(typesGiven, error) || !reader.Value(v, error) ||
                !ParseObjectTypeList(v, args.Types, error))
                return false;
        } else if (ReadRunOption(reader, args.Reading, readingGiven, args.Output, outputGiven,
                                 positional, error) < 0) {
            return false;
        }
    }
    if (policyGiven) {
        error = "unknown option --not-comparable";
        return false;
    }
    std::string snapshot[2], folder[2];
    if (!CheckLoginOptions(args, error) ||
        !TakeTwoSidesOrSnapshots(positional, args.Server, args.Db, snapshot, folder, error))
        return false;
    if (!snapshot[1].empty() || !folder[1].empty()) {
        error = "the Source may be a scripts folder, folder:<dir>, or a snapshot, "
                "snapshot:<file>; the Target must be a database";
        return false;
    }
    args.SourceFolder = folder[0];
    args.SourceSnapshot = snapshot[0];
    if (args.Apply && !confirmGiven) {
        error = "--apply needs --confirm-target <database>, the target database named again";
        return false;
    }
    if (!args.Apply && confirmGiven) {
        error = "--confirm-target is only for --apply";
        return false;
    }
    return true;
}

int RunDeployScriptOn(const DeployScriptArgs& args, DbCompareRequest settings,
                      const CompareAllServices& services, ProgressSink& progress,
                      const CancelToken& cancel, std::ostream& out, std::ostream& err,
                      std::time_t now) {
    const char* const prefix = "orvane-cli deploy-script: ";
    // Named twice, before anything is read: a slip of the fingers never reaches a server.
    if (args.Apply && args.ConfirmTarget != args.Db[1]) {
        err << prefix << "--confirm-target names '" << args.ConfirmTarget
            << "', but the target database is '" << args.Db[1] << "'; nothing was run.\n";
        return kDeployExitError;
    }
    DbCompareRequest request = std::move(settings);
    request.Kind = args.Types.size() == 1 ? DbCompareKind::Bulk : DbCompareKind::All;
    request.Types = args.Types;
    request.Filter = args.Filter;
    if (args.Reading)
        request.Reading = *args.Reading;
    // A folder Source (a snapshot one too) stays up in its scratch database until the
    // deployment is verified.
    std::shared_ptr<LoadedScriptFolder> folder;
    for (int p = 0; p < 2; ++p) {
        std::string error;
        if (p == 0 && (!args.SourceFolder.empty() || !args.SourceSnapshot.empty())) {
            const bool fromFolder = !args.SourceFolder.empty();
            const auto& open = fromFolder ? services.openFolder : services.openSnapshot;
            if (!open || !open(fromFolder ? args.SourceFolder : args.SourceSnapshot, progress,
                               cancel, folder, error)) {
                err << prefix << error << '\n';
                return kDeployExitError;
            }
            for (const FolderScriptFailure& f : folder->Failures)
                err << prefix << "script refused: "
                    << (fromFolder ? args.SourceFolder + "/" + FolderFailureText(f)
                                   : FolderFailureText(f) + " (written from the snapshot " +
                                         args.SourceSnapshot + ")")
                    << '\n';
            request.Server[0] = folder->Place.Server;
            request.Database[0] = folder->Place.Database;
            continue;
        }
        if (!services.resolveServer(args.Server[p], request.Server[p], error)) {
            err << prefix << error << '\n';
            return kDeployExitError;
        }
        request.Database[p] = args.Db[p];
    }
    DbCompareResultsPtr results = services.run(request, progress, cancel);
    if (!results || !results->Complete()) {
        err << prefix << NotCompletedText(results ? results->Problem : std::string()) << '\n';
        return kDeployExitError;
    }
    if (folder && !folder->Failures.empty()) {
        // An object whose script was refused is absent from the scratch database only for
        // that reason: it is not comparable, so it is neither created nor dropped.
        auto marked = std::make_shared<DbCompareResults>(*results);
        MarkFolderFailures(*marked, 0, folder->Failures);
        results = std::move(marked);
    }
    DeploySession session;
    std::string error;
    if (!session.Prepare(request, *results, progress, cancel, error)) {
        err << prefix << error << '\n';
        return kDeployExitError;
    }
    // A confirmed rename that names no such pair is a mistake to report, not to skip.
    for (const ColumnRename& rename : args.ColumnRenames) {
        ColumnRename resolved;
        const std::string why =
            CheckColumnRename(session.Source(), session.Target(), rename, resolved);
        if (!why.empty()) {
            err << prefix << "--rename-column " << ColumnRenameText(rename) << ": " << why
                << "; nothing was written.\n";
            return kDeployExitError;
        }
    }
    std::vector<DeployObject> included;
    for (const DeployObject& o : session.Offered()) {
        if (TickedByDefault(o) || (args.DropExtra && o.Status == PairStatus::OnlyInTarget))
            included.push_back(o);
    }
    DeployOptions options;
    options.AllowDataLoss = args.AllowDataLoss;
    options.ColumnOrderMatters = !request.Options.IgnoreColSeq;
    options.ColumnRenames = args.ColumnRenames;
    const DeployScript script = session.Script(included, options, now);
    for (const std::string& warning : script.Warnings)
        err << prefix << "warning: " << warning << '\n';

    const std::string text = ScriptWithLineFeeds(script.Text);
    if (args.Output.empty()) {
        out << text;
        out.flush();
        if (!out) {
            err << prefix << "the script could not be written to standard output.\n";
            return kDeployExitError;
        }
    } else if (!WriteExportFile(args.Output, text, error)) {
        err << prefix << error << '\n';
        return kDeployExitError;
    }

    const bool nothing = script.StepCount == 0 && script.LeftOutSteps == 0;
    if (!args.Apply) {
        if (nothing) {
            err << prefix << "nothing to deploy: the target matches the source.\n";
            return kDeployExitDone;
        }
        return kDeployExitDifferent;
    }
    if (script.StepCount > 0) {
        const TargetCheck check = session.CheckTarget(included, progress, cancel);
        if (check.Outcome != RunOutcome::Completed) {
            err << prefix
                << (check.Outcome == RunOutcome::Cancelled
                        ? std::string(kStoppedByUser)
                        : "checking the target for changes failed: " + check.Problem + ".")
                << " Nothing was run.\n";
            return kDeployExitError;
        }
        if (!check.Changes.empty()) {
            err << prefix << "the target " << request.Database[1]
                << " has changed since the comparison; nothing was run:"
                << TargetChangeList(check, "\n")
                << "\nRun the command again to compare afresh and make a script for the target "
                   "as it is now.\n";
            return kDeployExitTargetChanged;
        }
        // No time limit: a step rebuilding a large table's index takes what it takes; Ctrl-C
        // stops it and rolls back.
        const DeployRunResult run =
            RunDeployScript({request.Server[1], request.Database[1], 0}, script, progress, cancel);
        if (run.Outcome != RunOutcome::Completed) {
            err << prefix << DeployFailureText(run) << '\n';
            return kDeployExitError;
        }
        progress.Note("The deployment script ran: " + std::to_string(script.StepCount) +
                      (script.StepCount == 1 ? " step." : " steps."));
    }
    DeployVerification verification;
    if (!VerifyDeployment(request, included, progress, cancel, verification, error)) {
        err << prefix << "comparing again failed: " << error << '\n';
        return kDeployExitError;
    }
    err << VerificationText(verification) << '\n';
    return verification.AllMatch() && script.LeftOutSteps == 0 ? kDeployExitDone
                                                               : kDeployExitDifferent;
}

} // namespace orv
