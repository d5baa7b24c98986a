#pragma once
// For window tests that build: a private folder whose bin/gdal/gdaladdo is a fake
// script or the real tool, TMPDIR pointed at its tmp folder so that working copies can
// be counted, and dialogs that answer as the test tells them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/Conv.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory::test {

class WindowBuildFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkpath("bin/gdal"));
    ASSERT_TRUE(QDir(folder.path()).mkpath("tmp"));
    if (const char* old = std::getenv("TMPDIR")) oldTmpdir = old;
    ::setenv("TMPDIR", QFile::encodeName(folder.filePath("tmp")).constData(), 1);
    environment.listDialogs = &dialogs;
    environment.openUrl = [](const QUrl&) {};
    environment.programFolder = QFile::encodeName(folder.filePath("bin/")).toStdString();
    environment.slotCount = 1;
  }
  void TearDown() override {
    if (oldTmpdir) ::setenv("TMPDIR", oldTmpdir->c_str(), 1); else ::unsetenv("TMPDIR");
  }

  // A shell script; $1 is the working copy, then the factors.
  void UseFakeTool(const QByteArray& body) { WriteScript(folder.filePath("bin/gdal/gdaladdo"), body); }
  static void WriteScript(const QString& path, const QByteArray& body) {
    // Never through a link to the real tool: that would overwrite it.
    QFile::remove(path);
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  std::string MakeTiff(const QString& name, int side = 400, int bands = 1) {
    const QString path = folder.filePath(name);
    QProcess create;
    create.start(KELVORY_TEST_GDAL_CREATE, {"-of", "GTiff", "-outsize", QString::number(side),
                                            QString::number(side), "-bands", QString::number(bands), path});
    EXPECT_TRUE(create.waitForFinished(60000));
    EXPECT_EQ(create.exitCode(), 0);
    return QFile::encodeName(path).toStdString();
  }

  QTemporaryDir folder;
  std::optional<std::string> oldTmpdir;
  AnsweringListDialogs dialogs;
  ConvEnvironment environment;
};

}  // namespace kelvory::test
