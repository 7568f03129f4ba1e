#include "keyring/keyring_store.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <clocale>
#include <functional>
#include <mutex>
#include <string>

namespace orv {

namespace {

// Long enough for a person to answer the desktop's unlock prompt.
constexpr int kAnswerTimeoutMs = 120000;

// QtKeychain's jobs and the event loop need an application object. The desktop program has
// one; orvane-cli and the tests get a core one here. It must not change the C locale the
// command line formats its numbers in.
void EnsureApplication() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance() != nullptr)
            return;
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        static int argc = 1;
        static char name[] = "orvane";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv); // lives as long as the process
        std::setlocale(LC_ALL, locale.c_str());
    });
}

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Runs the job and waits for its answer. The job deletes itself when it finishes, also after
// a timeout has given up waiting for it.
bool RunJob(QKeychain::Job* job, QKeychain::Error& code, std::string& error,
            const std::function<void(QKeychain::Job*)>& onFinished = {}) {
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* j) {
        finished = true;
        code = j->error();
        error = j->errorString().toStdString();
        if (onFinished)
            onFinished(j);
        loop.quit();
    });
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    loop.exec();
    if (!finished) {
        code = QKeychain::OtherError;
        error = "the desktop keyring did not answer in time";
    }
    return finished && code == QKeychain::NoError;
}

// The desktop's words, or ours where the library leaves them empty.
std::string Reason(QKeychain::Error code, const std::string& text) {
    if (code == QKeychain::AccessDeniedByUser)
        return "the desktop keyring was not unlocked";
    if (code == QKeychain::AccessDenied)
        return "the desktop keyring refused access" + (text.empty() ? "" : ": " + text);
    if (code == QKeychain::NoBackendAvailable)
        return "no desktop keyring answers";
    return text.empty() ? std::string("the desktop keyring failed") : text;
}

class KeyringStore final : public PasswordStore {
public:
    bool InRegistryFile() const override { return false; }
    std::string KeptText() const override { return "Passwords are kept in the desktop keyring."; }

    SecretRead Read(const std::string& account, std::string& password,
                    std::string& error) override {
        EnsureApplication();
        auto* job = new QKeychain::ReadPasswordJob(QString::fromUtf8(kPasswordService));
        job->setInsecureFallback(false);
        job->setKey(Q(account));
        QKeychain::Error code = QKeychain::NoError;
        std::string text;
        std::string found;
        RunJob(job, code, text, [&](QKeychain::Job* j) {
            found = static_cast<QKeychain::ReadPasswordJob*>(j)->textData().toStdString();
        });
        if (code == QKeychain::NoError) {
            password = found;
            return SecretRead::Found;
        }
        if (code == QKeychain::EntryNotFound)
            return SecretRead::Missing;
        error = Reason(code, text);
        return SecretRead::Failed;
    }

    bool Write(const std::string& account, const std::string& password,
               std::string& error) override {
        EnsureApplication();
        auto* job = new QKeychain::WritePasswordJob(QString::fromUtf8(kPasswordService));
        job->setInsecureFallback(false);
        job->setKey(Q(account));
        job->setTextData(Q(password));
        QKeychain::Error code = QKeychain::NoError;
        std::string text;
        if (RunJob(job, code, text))
            return true;
        error = Reason(code, text);
        return false;
    }

    bool Remove(const std::string& account, std::string& error) override {
        EnsureApplication();
        auto* job = new QKeychain::DeletePasswordJob(QString::fromUtf8(kPasswordService));
        job->setInsecureFallback(false);
        job->setKey(Q(account));
        QKeychain::Error code = QKeychain::NoError;
        std::string text;
        if (RunJob(job, code, text) || code == QKeychain::EntryNotFound)
            return true;
        error = Reason(code, text);
        return false;
    }
};

} // namespace

bool SecretServiceAvailable() {
    static const bool available = [] {
        EnsureApplication();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || bus.interface() == nullptr)
            return false;
        for (const char* name :
             {"org.freedesktop.secrets", "org.kde.kwalletd6", "org.kde.kwalletd5"})
            if (bus.interface()->isServiceRegistered(QString::fromLatin1(name)).value())
                return true;
        return false;
    }();
    return available;
}

std::shared_ptr<PasswordStore> MakeKeyringPasswordStore() {
    return std::make_shared<KeyringStore>();
}

bool UseDesktopKeyringWhenAvailable() {
    if (!SecretServiceAvailable())
        return false;
    SetPasswordStore(MakeKeyringPasswordStore());
    return true;
}

} // namespace orv
