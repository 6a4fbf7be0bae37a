// Released jobs: benches signed with real OpenSSH keys made here, run or
// refused by the station as their signatures, signers and firmware say; the
// audit trail's chain with lines edited, taken out and put in; and each
// unit's image digest against what the simulated unit received.

#include "coresupport.h"
#include "platform/sshsignature.h"
#include "records/audittrail.h"
#include "station/jobsession.h"
#include "station/releasedjob.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <csignal>

using namespace TestSupport;

namespace {

struct Run {
    int exitCode = -1;
    QString errors;
    QString output;
};

Run upload(const QStringList& arguments, const std::function<void(QProcess&)>& meanwhile = {},
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), arguments);
    p.waitForStarted();
    if (meanwhile)
        meanwhile(p);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError()),
            QString::fromLocal8Bit(p.readAllStandardOutput())};
}

int keygen(const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("ssh-keygen"), arguments);
    p.waitForFinished(20000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A key pair of its own in the test's folder: its private key's path.
QString makeKey(const QString& name)
{
    const QString key = tempFolder() + "/" + name;
    QFile::remove(key);
    QFile::remove(key + ".pub");
    if (keygen({"-q", "-t", "ed25519", "-N", "", "-C", name, "-f", key}) != 0)
        return QString();
    return key;
}

// "alice@example namespaces="firmware-job" ssh-ed25519 AAAA..."
QString allowedSigners(const QStringList& principalAndKey,
                       const QString& name = QStringLiteral("allowed_signers"))
{
    QByteArray text;
    for (int i = 0; i + 1 < principalAndKey.size(); i += 2) {
        QFile pub(principalAndKey[i + 1] + ".pub");
        pub.open(QIODevice::ReadOnly);
        const QList<QByteArray> parts = pub.readAll().split(' ');
        text += principalAndKey[i].toUtf8() + " namespaces=\"firmware-job\" " + parts[0] + ' ' +
                parts[1] + '\n';
    }
    return writeFile(name, text);
}

bool sign(const QString& key, const QString& file)
{
    QFile::remove(file + ".sig");
    return keygen({"-Y", "sign", "-f", key, "-n", "firmware-job", file}) == 0;
}

QString sha256Of(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QVector<QJsonObject> lines(const QString& path)
{
    return records(path); // JSON Lines, as the record
}

} // namespace

class JobsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { resetCoreSeams(); }

    void jobsRunOrAreRefused_data();
    void jobsRunOrAreRefused();
    void optionsTheJobFixes();
    void releasedJobsOnly();
    void operatorCannotRouteAround_data();
    void operatorCannotRouteAround();
    void whatIsCheckedIsWhatIsUsed();
    void signerIsTheAllowedSignersOwnLine();
    void oneRuleForWhatAJobFixes();
    void auditChainBreaks_data();
    void auditChainBreaks();
    void imageDigestIsWhatTheUnitGot_data();
    void imageDigestIsWhatTheUnitGot();

private:
    QString m_alice, m_mallory, m_allowed;
};

void JobsTest::initTestCase()
{
    if (QStandardPaths::findExecutable("ssh-keygen").isEmpty())
        QSKIP("needs ssh-keygen (openssh-client)");
    m_alice = makeKey("alice");
    m_mallory = makeKey("mallory");
    QVERIFY(!m_alice.isEmpty() && !m_mallory.isEmpty());
    m_allowed = allowedSigners({"alice@example", m_alice});
}

void JobsTest::jobsRunOrAreRefused_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // on standard error
    QTest::newRow("a good job runs") << "good" << 143 << "signed by alice@example (ED25519 SHA256:";
    QTest::newRow("changed after signing")
        << "edited" << 3 << "its signature by alice@example does not match it";
    QTest::newRow("signed by a key not allowed") << "stranger" << 3 << "it is signed by a key ";
    QTest::newRow("not signed") << "unsigned" << 3 << "it is not signed: there is no ";
    QTest::newRow("another build on disk") << "rebuilt" << 3 << "on disk has the SHA-256 ";
    QTest::newRow("a job that pins no build") << "unpinned" << 3 << "it pins no sha256";
}

void JobsTest::jobsRunOrAreRefused()
{
    QFETCH(QString, story);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    const QString firmware = tempFolder() + "/job-" + story + ".s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    QFile f(firmware);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString digest = sha256Of(f.readAll());
    f.close();
    const QString record = tempFolder() + "/job-" + story + ".jsonl";
    QFile::remove(record);
    QFile::remove(record + ".audit");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    QString text = QStringLiteral("[Station]\nname = bench-9\nfile = %1\nports = %2\nrecord = %3\n")
                       .arg(firmware, device, record);
    if (story != "unpinned")
        text += "sha256 = " + digest + "\n";
    const QString job = writeFile("job-" + story + ".conf", text.toUtf8());
    QFile::remove(job + ".sig");
    if (story != "unsigned")
        QVERIFY(sign(story == "stranger" ? m_mallory : m_alice, job));
    if (story == "edited") {
        QFile j(job);
        QVERIFY(j.open(QIODevice::Append));
        j.write("timeout = 30\n");
    }
    if (story == "rebuilt") {
        QFile fw(firmware);
        QVERIFY(fw.open(QIODevice::Append));
        fw.write("S9030000FC\n");
    }
    const Run run =
        upload({"station", "--job", job, "--allowed-signers", m_allowed, "-q"}, [&](QProcess& p) {
            if (story != "good")
                return;
            QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));
            signalProcess(p, SIGTERM);
        });
    QVERIFY2(run.errors.contains(said), qPrintable(run.errors));
    QCOMPARE(run.exitCode, exitCode);
    const QVector<QJsonObject> trail = lines(record + ".audit");
    QVERIFY(!trail.isEmpty());
    QCOMPARE(AuditTrail::verify(record + ".audit").broken, 0);
    if (story != "good") {
        QCOMPARE(unit.receivedLines().size(), 0); // nothing sent
        QCOMPARE(records(record).size(), 0);
        QCOMPARE(trail.last()["event"].toString(), QStringLiteral("job-refused"));
        QVERIFY(!trail.last()["why"].toString().isEmpty());
        QCOMPARE(trail.last()["job"]["file"].toString(), job);
        if (story == "edited")
            QCOMPARE(trail.last()["job"]["signer"].toString(), QStringLiteral("alice@example"));
        if (story == "stranger")
            QVERIFY(trail.last()["job"]["key"].toString().startsWith("ED25519 SHA256:"));
        return;
    }
    QFile j(job);
    QVERIFY(j.open(QIODevice::ReadOnly));
    const QString jobDigest = sha256Of(j.readAll());
    const QJsonObject r = records(record).first();
    QCOMPARE(r["job"]["file"].toString(), job);
    QCOMPARE(r["job"]["sha256"].toString(), jobDigest);
    QCOMPARE(r["job"]["signer"].toString(), QStringLiteral("alice@example"));
    QVERIFY(!r["operator"].toString().isEmpty());
    QCOMPARE(r["image_sha256"].toString(), digest);
    QStringList events;
    for (const QJsonObject& e : trail)
        events << e["event"].toString();
    QCOMPARE(events, (QStringList{"job-verified", "station-started", "station-stopped"}));
    QCOMPARE(trail[0]["job"]["signer"].toString(), QStringLiteral("alice@example"));
    QCOMPARE(trail[2]["why"].toString(), QStringLiteral("SIGTERM"));
    QCOMPARE(trail[1]["station"].toString(), QStringLiteral("bench-9"));
    // The verbs that look at a job say the same.
    const Run verified = upload({"job", "verify", job, "--allowed-signers", m_allowed});
    QCOMPARE(verified.exitCode, 0);
    QVERIFY2(verified.output.contains("signed by alice@example"), qPrintable(verified.output));
    const Run shown = upload({"job", "show", job, "--allowed-signers", m_allowed});
    QVERIFY2(shown.output.contains("  ports = " + device), qPrintable(shown.output));
    const Run checked = upload({"audit", "verify", record + ".audit"});
    QCOMPARE(checked.exitCode, 0);
    QVERIFY2(checked.output.contains("3 lines, the chain holds"), qPrintable(checked.output));
}

// What a job fixes is refused beside it; what it leaves open may be given.
void JobsTest::optionsTheJobFixes()
{
    const QString firmware = tempFolder() + "/fixed.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(64), firmware));
    QFile fw(firmware);
    QVERIFY(fw.open(QIODevice::ReadOnly));
    const QString job =
        writeFile("fixed.conf", QStringLiteral("[Station]\nfile = %1\nsha256 = %2\n"
                                               "ports = /dev/pts/9999\ntimeout = 30\n")
                                    .arg(firmware, sha256Of(fw.readAll()))
                                    .toUtf8());
    QVERIFY(sign(m_alice, job));
    for (const QStringList& more :
         {QStringList{"-p", "/dev/pts/1"}, QStringList{"--record", "x.jsonl"},
          QStringList{"--serial", "0x20:4"}, QStringList{"-t", "5"},
          QStringList{"--sha256", QString(64, 'a')}, QStringList{firmware},
          QStringList{"--rework", "new"}}) {
        const Run run =
            upload(QStringList{"station", "--job", job, "--allowed-signers", m_allowed} + more);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains("is fixed by the job " + job), qPrintable(run.errors));
    }
    // A job with a config is two benches.
    const Run both = upload({"station", "--job", job, "--config", job});
    QCOMPARE(both.exitCode, 2);
}

// A policy that makes a computer run released jobs only refuses any other bench.
void JobsTest::releasedJobsOnly()
{
    if (::getuid() != 0)
        QSKIP("a policy is root's: the test must run as root to name one of its own");
    const QString policy = rootFolder() + "/policy.conf";
    QFile p(policy);
    QVERIFY(p.open(QIODevice::WriteOnly | QIODevice::Truncate));
    p.write("[Policy]\nreleased-jobs-only = true\n");
    p.close();
    QFile::setPermissions(policy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FIRMWARE_STATION_POLICY", policy);
    const QString firmware = tempFolder() + "/policy.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(64), firmware));
    const Run plain = upload({"station", firmware, "-p", "/dev/pts/9999"}, {}, env);
    QCOMPARE(plain.exitCode, 3);
    QVERIFY2(plain.errors.contains("runs released jobs only (" + policy + "): give --job"),
             qPrintable(plain.errors));
    // A policy others may write is trusted for nothing.
    QFile::setPermissions(policy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                      QFile::WriteOther);
    const Run loose = upload({"station", firmware, "-p", "/dev/pts/9999"}, {}, env);
    QCOMPARE(loose.exitCode, 2);
    QVERIFY2(loose.errors.contains("may be written by others than root"), qPrintable(loose.errors));
    // So is one in a folder others may write, such as the test's own.
    const QString elsewhere = writeFile("policy.conf", "[Policy]\nreleased-jobs-only = false\n");
    QFile::setPermissions(elsewhere, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    env.insert("FIRMWARE_STATION_POLICY", elsewhere);
    const Run folder = upload({"job", "verify", firmware}, {}, env);
    QCOMPARE(folder.exitCode, 3);
    QVERIFY2(folder.errors.contains("its folder "), qPrintable(folder.errors));
}

// Each row is what an operator tried from a plain account on a computer
// whose root-owned policy runs released jobs only and names the engineers'
// signers; only the engineer's own released job reaches the unit.
void JobsTest::operatorCannotRouteAround_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("their own key and signers file")
        << "own-signers" << 2 << "this computer's policy names the signers: /etc/firmware-station/";
    QTest::newRow("a junk signature and an ssh-keygen of their own first on PATH")
        << "fake-keygen" << 3 << "its signature file is not an OpenSSH signature";
    QTest::newRow("send of a file no one released") << "send" << 3 << "runs released jobs only";
    QTest::newRow("the signers file writable by its group")
        << "loose-signers" << 3 << "may be written by others than root";
    QTest::newRow("a job signed by their own key") << "own-key" << 3 << "it is signed by a key ";
    QTest::newRow("a station without a job") << "no-job" << 3 << "runs released jobs only";
    QTest::newRow("the engineer's released job") << "released" << 143 << "signed by alice@example";
}

void JobsTest::operatorCannotRouteAround()
{
    QFETCH(QString, story);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    if (::getuid() != 0)
        QSKIP("needs root to make a plain account and a root-owned policy");
    static Account op(QStringLiteral("tst-fw-operator"));
    if (!op.made())
        QSKIP(qPrintable(op.why()));
    // The system's policy, root's, as /etc/firmware-station in the operator's namespace.
    static const QString etc = [] {
        const QString folder = rootFolder() + "/etc";
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::ExeOther);
        return folder;
    }();
    putReadable(etc + "/policy.conf", "[Policy]\nreleased-jobs-only = true\n"
                              "allowed-signers = /etc/firmware-station/allowed_signers\n");
    QFile signersOf(m_allowed);
    QVERIFY(signersOf.open(QIODevice::ReadOnly));
    putReadable(etc + "/allowed_signers", signersOf.readAll());
    if (story == "loose-signers")
        QFile::setPermissions(etc + "/allowed_signers", QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadGroup | QFile::WriteGroup |
                                                            QFile::ReadOther);

    // What the engineer left: the firmware and the released job, root's.
    const QString shared = sharedFolder();
    const QString firmware = shared + "/op-" + story + ".s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 48), firmware));
    QFile::setPermissions(firmware, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QFile fw(firmware);
    QVERIFY(fw.open(QIODevice::ReadOnly));
    const QString digest = sha256Of(fw.readAll());
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    QVERIFY(op.take(device)); // the operator's adaptor
    const QString record = op.home() + "/" + story + ".jsonl";
    const QByteArray bench = QStringLiteral("[Station]\nname = bench-op\nfile = %1\nsha256 = %2\n"
                                            "ports = %3\nrecord = %4\n")
                                 .arg(firmware, digest, device, record)
                                 .toUtf8();
    const QString released = shared + "/released-" + story + ".conf";
    putReadable(released, bench);
    QVERIFY(sign(m_alice, released));
    QFile::setPermissions(released + ".sig", QFile::ReadOwner | QFile::ReadOther);

    // What the operator made in their own folder.
    const QString own = op.home() + "/own-" + story + ".conf";
    putReadable(own, bench);
    QVERIFY(op.take(own));
    QProcessEnvironment env;
    QStringList arguments;
    if (story == "own-signers" || story == "own-key") {
        QVERIFY(sign(m_mallory, own));
        const QString mine = op.home() + "/my_signers";
        QFile::remove(mine);
        QVERIFY(QFile::copy(allowedSigners({"operator@example", m_mallory}, "mine"), mine));
        QVERIFY(op.take(mine) && op.take(own + ".sig"));
        arguments = {"station", "--job", own, "-q"};
        if (story == "own-signers")
            arguments << "--allowed-signers" << mine;
    } else if (story == "fake-keygen") {
        putReadable(own + ".sig", "junk\n");
        const QString bin = op.home() + "/bin";
        QDir().mkpath(bin);
        putReadable(bin + "/ssh-keygen", "#!/bin/sh\necho 'Good \"firmware-job\" signature for "
                                 "alice@example with ED25519 key SHA256:forged'\n"
                                 "echo alice@example\nexit 0\n");
        QFile::setPermissions(bin + "/ssh-keygen", QFile::ReadOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther);
        QVERIFY(op.take(bin) && op.take(own + ".sig"));
        env.insert("PATH", bin + ":" + qEnvironmentVariable("PATH"));
        arguments = {"station", "--job", own, "-q"};
    } else if (story == "send") {
        arguments = {"send", firmware, "-p", device, "-q"};
    } else if (story == "loose-signers") {
        arguments = {"job", "verify", released};
    } else if (story == "no-job") {
        arguments = {"station", firmware, "-p", device, "--record", record, "-q"};
    } else {
        arguments = {"station", "--job", released, "-q"};
    }
    QProcess p;
    op.start(p, QStringLiteral(FIRMWARE_UPLOAD_PATH), arguments, etc, env);
    QVERIFY(p.waitForStarted());
    if (story == "released") {
        QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 30000));
        signalProcess(p, SIGTERM);
    }
    QVERIFY(p.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(p.readAllStandardError());
    const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
    QVERIFY2((errors + output).contains(said), qPrintable(errors + output));
    QCOMPARE(p.exitCode(), exitCode);
    pump(200);
    if (story != "released") {
        QCOMPARE(unit.receivedLines().size(), 0);
        return;
    }
    QCOMPARE(unit.receivedLines().size(), fileLines(firmware).size());
    const QJsonObject r = records(record).first();
    QCOMPARE(r["job"]["signer"].toString(), QStringLiteral("alice@example"));
    QCOMPARE(r["operator"].toString(), op.name());
}

// The job is read once: a file swapped on disk between the reading and the
// check changes nothing that runs, and the digest is of what was checked.
void JobsTest::whatIsCheckedIsWhatIsUsed()
{
    const QString firmware = tempFolder() + "/swapped.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(64), firmware));
    QFile fw(firmware);
    QVERIFY(fw.open(QIODevice::ReadOnly));
    const QByteArray signedText = QStringLiteral("[Station]\nfile = %1\nsha256 = %2\nports = "
                                                 "/dev/ttyUSB0\ntimeout = 30\n")
                                      .arg(firmware, sha256Of(fw.readAll()))
                                      .toUtf8();
    const QString job = writeFile("swapped.conf", signedText);
    QVERIFY(sign(m_alice, job));
    StationPolicy none;
    none.allowedSigners = m_allowed;
    const ReleasedJob loaded = ReleasedJob::load(job, none.signers(m_allowed), [&] {
        QFile swap(job);
        swap.open(QIODevice::WriteOnly | QIODevice::Truncate);
        swap.write(QByteArray(signedText).replace("ttyUSB0", "ttyUSB9").replace("30", "1"));
    });
    QVERIFY2(loaded.good(), qPrintable(loaded.refusal));
    QCOMPARE(loaded.bench.ports, QStringList{"/dev/ttyUSB0"});
    QCOMPARE(loaded.bench.timeoutSeconds, 30);
    QCOMPARE(loaded.sha256, sha256Of(signedText));
    // Read again, the swapped file no longer holds.
    const ReleasedJob again = ReleasedJob::load(job, none.signers(m_allowed));
    QVERIFY(!again.good());
    QVERIFY2(again.refusal.contains("does not match it"), qPrintable(again.refusal));
}

// Who signed is the allowed signers file's line whose key made the
// signature, and its fingerprint is of that key.
void JobsTest::signerIsTheAllowedSignersOwnLine()
{
    const QString text = "[Station]\nfile = x\n";
    const QString job = writeFile("whose.conf", text.toUtf8());
    QVERIFY(sign(m_mallory, job));
    QFile sig(job + ".sig"), pub(m_mallory + ".pub");
    QVERIFY(sig.open(QIODevice::ReadOnly) && pub.open(QIODevice::ReadOnly));
    const QByteArray signature = sig.readAll();
    const QByteArray key = QByteArray::fromBase64(pub.readAll().split(' ').value(1));
    QCOMPARE(SshSignature::signingKey(signature), key);
    QFile allowed(
        allowedSigners({"alice@example", m_alice, "mallory@example,*@lab", m_mallory}, "both"));
    QVERIFY(allowed.open(QIODevice::ReadOnly));
    const SshSignature::Verdict v = SshSignature::verify(
        text.toUtf8(), signature, allowed.readAll(), "signers", "firmware-job");
    QCOMPARE(int(v.kind), int(SshSignature::Verdict::Kind::Good));
    QCOMPARE(v.principal, QStringLiteral("mallory@example"));
    QProcess keygen;
    keygen.start("ssh-keygen", {"-l", "-f", m_mallory + ".pub"});
    QVERIFY(keygen.waitForFinished());
    const QString listed =
        QString::fromLatin1(keygen.readAll()); // "256 SHA256:... comment (ED25519)"
    QVERIFY2(listed.contains(v.fingerprint.section(' ', 1)), qPrintable(listed + v.fingerprint));
    QVERIFY(v.fingerprint.startsWith("ED25519 SHA256:"));
    // The same signature over other bytes, or for another use, is bad.
    QCOMPARE(
        int(SshSignature::verify("other", signature, allowed.readAll(), "s", "firmware-job").kind),
        int(SshSignature::Verdict::Kind::Bad));
    allowed.seek(0);
    QCOMPARE(
        int(SshSignature::verify(text.toUtf8(), signature, allowed.readAll(), "s", "other").kind),
        int(SshSignature::Verdict::Kind::Bad));
}

// What a job fixes is refused beside it and, changed in a window, ends its
// identity; what it leaves open keeps it, whoever changed it.
void JobsTest::oneRuleForWhatAJobFixes()
{
    ReleasedJob job;
    job.path = "/jobs/a.conf";
    job.sha256 = QString(64, 'b');
    job.signature.principal = "alice@example";
    QString why;
    QVERIFY(job.bench.readText("[Station]\nfile = fw.s19\nports = /dev/ttyUSB0\ntimeout = 30\n",
                               "a.conf", &why));
    const JobSession session(job);
    QVERIFY(session.fixed().contains(BenchField::Timeout)); // set by the job
    QVERIFY(session.fixed().contains(BenchField::Record));  // always the job's
    QVERIFY(!session.fixed().contains(BenchField::Database));
    QCOMPARE(session.firstRefused({BenchField::Database, BenchField::Timeout}),
             std::optional<BenchField>(BenchField::Timeout));
    QCOMPARE(session.refuseBeside(BenchField::Timeout),
             QStringLiteral("--timeout is fixed by the job /jobs/a.conf"));
    BenchConfig beside;
    QVERIFY(beside.set(BenchField::Database, "postgresql:///factory", &why));
    QVERIFY(beside.set(BenchField::Timeout, "5", &why)); // not taken: the job's
    const BenchConfig bench = session.benchWith(beside);
    QCOMPARE(bench.database, QStringLiteral("postgresql:///factory"));
    QCOMPARE(bench.timeoutSeconds, 30);
    QVERIFY(session.isReleased(bench));
    QCOMPARE(session.identityFor(bench).signer, QStringLiteral("alice@example"));
    BenchConfig hosts = bench;
    hosts.record = "/var/lib/firmware-station/bench.jsonl"; // the host's own, the job names none
    QVERIFY(session.isReleased(hosts));
    BenchConfig changed = bench;
    changed.timeoutSeconds = 31;
    QCOMPARE(session.changedIn(changed), QList<BenchField>{BenchField::Timeout});
    QVERIFY(session.identityFor(changed).isEmpty());
}

void JobsTest::auditChainBreaks_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("broken"); // the first line said to break it
    QTest::newRow("a line edited") << "edit" << 3;
    QTest::newRow("a line taken out") << "remove" << 2;
    QTest::newRow("the first lines taken out") << "head" << 1;
    QTest::newRow("a line put in between") << "insert" << 3;
    QTest::newRow("a line appended out of order") << "append" << 5;
    QTest::newRow("a line cut short") << "cut" << 4;
}

void JobsTest::auditChainBreaks()
{
    QFETCH(QString, damage);
    QFETCH(int, broken);
    const QString path = tempFolder() + "/chain-" + damage + ".audit";
    QFile::remove(path);
    AuditTrail trail;
    QString why;
    QVERIFY(trail.open(path, &why));
    for (int i = 0; i < 4; ++i)
        QVERIFY(trail.append("setting-changed", {{"field", "timeout"}, {"new", i}}, &why));
    trail.close();
    QCOMPARE(AuditTrail::verify(path).broken, 0);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QByteArray> text = f.readAll().split('\n');
    f.close();
    text.removeLast(); // after the last LF
    if (damage == "edit")
        text[1].replace("\"new\":1", "\"new\":9");
    else if (damage == "remove")
        text.removeAt(1);
    else if (damage == "head")
        text = text.mid(2);
    else if (damage == "insert")
        text.insert(2, text[0]);
    else if (damage == "append")
        text.append(text[1]);
    else if (damage == "cut")
        text.last().chop(10);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.join('\n') + (damage == "cut" ? "" : "\n"));
    f.close();
    const AuditTrail::Check check = AuditTrail::verify(path);
    QCOMPARE(check.broken, broken);
    QVERIFY2(check.why.startsWith(path + ":" + QString::number(broken) + ": "),
             qPrintable(check.why));
    const Run run = upload({"audit", "verify", path});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(check.why), qPrintable(run.errors));
}

void JobsTest::imageDigestIsWhatTheUnitGot_data()
{
    QTest::addColumn<bool>("numbered");
    QTest::newRow("the file as it is") << false;
    QTest::newRow("a serial number put in") << true;
}

// image_sha256 is the SHA-256 of what the unit received, lines joined as
// the file has them.
void JobsTest::imageDigestIsWhatTheUnitGot()
{
    QFETCH(bool, numbered);
    const QString firmware = tempFolder() + "/image.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    const QString record = tempFolder() + QStringLiteral("/image-%1.jsonl").arg(numbered);
    QFile::remove(record);
    QFile::remove(record + ".serial");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    QStringList arguments{"station", firmware, "-p", device, "--record", record, "-q"};
    if (numbered)
        arguments << "--serial"
                  << "0x40:4:be"
                  << "--serial-start"
                  << "4242";
    const Run run = upload(arguments, [&](QProcess& p) {
        QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));
        signalProcess(p, SIGTERM);
    });
    QCOMPARE(run.exitCode, 143);
    pump(200); // the unit writes what it received every 50 ms
    // The lines go out without their endings; the image has the file's own.
    QFile file(firmware);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray ending = file.readAll().contains("\r\n") ? "\r\n" : "\n";
    QByteArray got;
    for (const QByteArray& line : unit.receivedLines())
        got += line + ending;
    const QJsonObject r = records(record).first();
    QCOMPARE(r["image_sha256"].toString(), sha256Of(got));
    QCOMPARE(r["image_sha256"].toString() == r["sha256"].toString(), !numbered);
}

CORE_TEST_MAIN(JobsTest)
#include "tst_jobs.moc"
