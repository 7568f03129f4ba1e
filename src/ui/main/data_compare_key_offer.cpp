#include "ui/main/data_compare_key_offer.h"

#include "dbcompare/data_key_choice.h"
#include "dbcompare/data_key_store.h"
#include "util/prompter.h"

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <memory>
#include <thread>

namespace orv {

std::string DataCompareCaption(DataCompareScope scope) {
    switch (scope) {
    case DataCompareScope::SinglePair:
        return "Compare Data in Single Pair of Tables";
    case DataCompareScope::SelectedTables:
        return "Compare Data in Selected Tables";
    case DataCompareScope::AllTables:
        return "Compare Data in All Tables";
    }
    return "Compare Data";
}

std::vector<std::string> AskDataKeyInDialog(QWidget* owner, const DataKeyQuestion& question) {
    frmDataCompareKey dialog(question.PairName, question.Reason, question.Columns, question.Current,
                             owner);
    return dialog.ShowUp();
}

bool NeedsPickedKey(const DataTableResult& pair) {
    return pair.Status == DataPairStatus::NotComparable && pair.HasSource && pair.HasTarget &&
           pair.KeyFrom == KeyOrigin::None && !pair.Incomplete;
}

namespace {

DataTablePair PairOf(const DataTableResult& pair) {
    DataTablePair p;
    for (int i = 0; i < 2; ++i) {
        p.Schema[i] = pair.Schema[i];
        p.Name[i] = pair.Name[i];
    }
    return p;
}

std::string FullName(const QueryPlace& place, const DataTableResult& pair, int side) {
    return DataTableFullName(place, pair.Schema[side], pair.Name[side]);
}

// Reads the pair's columns and keys on a worker thread. The window's thread meanwhile keeps
// painting (user input held back, the pointer busy) instead of freezing while the servers
// answer.
bool ReadKeyChoiceOffThread(const DataCompareRequest& request, const DataTablePair& pair,
                            const std::vector<std::string>& ignored, KeyChoice& choice,
                            std::string& error) {
    HourglassPointer hourglass;
    const CancelToken cancel; // the read ends by itself; the command timeout bounds it
    QEventLoop loop;
    bool read = false;
    std::thread worker([&] {
        try {
            read = ReadKeyChoice(request.Place, pair, ignored, {}, cancel, choice, error);
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "reading the tables failed";
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return read;
}

} // namespace

std::vector<std::string> OfferDataKey(const DataCompareRequest& request,
                                      const DataTableResult& pair, const DataKeyAsker& ask) {
    const std::string sourceName = FullName(request.Place[0], pair, 0);
    const std::string targetName = FullName(request.Place[1], pair, 1);
    const std::vector<std::string> ignored =
        request.IgnoredColumns ? request.IgnoredColumns(DataIgnoredTable(
                                     request.Place[0], pair.Schema[0], pair.Name[0]))
                               : std::vector<std::string>{};
    const std::vector<std::string> remembered = LoadPickedKey(sourceName, targetName);
    KeyChoice choice;
    std::string error;
    if (!ReadKeyChoiceOffThread(request, PairOf(pair), ignored, choice, error)) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Compare",
                                     "Cannot read the columns of " + pair.DisplayName() + ": " +
                                         error);
        return {};
    }
    if (choice.Candidates.empty()) {
        CurrentPrompter().MessageBox(MsgIcon::Information, "Cannot Compare",
                                     "Cannot compare the data of " + pair.DisplayName() +
                                         " - the two tables have no column in common whose "
                                         "types allow matching rows on it.");
        return {};
    }
    DataKeyQuestion question;
    question.PairName = pair.DisplayName();
    question.Reason =
        pair.Reason.empty() ? (choice.Problem.empty() ? "no key" : choice.Problem) : pair.Reason;
    if (question.Reason.back() != '.')
        question.Reason += ".";
    for (const std::string& name : choice.Candidates) {
        KeyColumnChoice c;
        c.Name = name;
        for (const DataColumn& known : pair.Compared)
            if (known.Name == name) {
                c.SourceType = known.SourceType;
                c.TargetType = known.TargetType;
            }
        question.Columns.push_back(std::move(c));
    }
    question.Current = remembered;
    std::vector<std::string> key = ask ? ask(question) : std::vector<std::string>{};
    if (key.empty())
        return {};
    if (!StorePickedKey(sourceName, targetName, key))
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Remember Key",
                                     "The key is used for this comparison, but it could not be "
                                     "stored for the next one (the ignored-columns file of data "
                                     "comparisons could not be written).");
    return key;
}

DataCompareRequest SinglePairRequest(const DataCompareRequest& request, const DataTableResult& pair,
                                     const std::vector<std::string>& key) {
    DataCompareRequest one = request;
    one.AllTables = false;
    one.Tables.clear();
    DataTablePair p = PairOf(pair);
    p.Key = key;
    one.Tables.push_back(std::move(p));
    return one;
}

DataCompareResultsPtr ReplaceTable(const DataCompareResults& results, size_t index,
                                   const DataCompareResults& fresh) {
    auto merged = std::make_shared<DataCompareResults>(results);
    if (index < merged->Tables.size() && fresh.Tables.size() == 1)
        merged->Tables[index] = fresh.Tables.front();
    if (!fresh.Complete() && merged->Complete()) {
        merged->Outcome = fresh.Outcome;
        merged->Problem = fresh.Problem;
    }
    return merged;
}

} // namespace orv
