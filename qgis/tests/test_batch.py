"""The plugin's own logic, against a stand-in for kelvory-batch (fake-kelvory-batch);
the real command, gdaladdo and QGIS are tested by scripts/qgis-test.sh."""

import csv
import os

import pytest

from kelvory.batch import (RESAMPLING, BatchNotFound, BatchRun, Tally, command_environment,
                           command_line, find_batch, help_file, option_name, write_report)

FAKE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake-kelvory-batch")


def test_every_choice_becomes_its_option_and_paths_follow_a_double_dash():
    assert command_line("kb", files=["-a.tif"], folders=["/maps"], lists=["l1.txt", "l2.txt"]) == [
        "kb", "--events", "-r", "nearest", "--list", "l1.txt", "--list", "l2.txt", "--", "-a.tif", "/maps"]
    assert command_line("kb", files=["a.tif"], resampling="average", dest="/out", jobs=3, classic=True,
                        compression="DEFLATE", force=True, external=True, cog=True) == [
        "kb", "--events", "-r", "average", "--dest", "/out", "--jobs", "3", "--classic", "--force",
        "--external", "--cog", "--config", "COMPRESS_OVERVIEW", "DEFLATE", "--", "a.tif"]


@pytest.mark.parametrize("value, name", [
    ("average", "average"), ("CUBIC", "cubic"), (" mode ", "mode"), (1, "average"), ("8", "rms"),
    (None, None), ("", None)])
def test_an_option_is_taken_by_name_in_any_case_or_by_position(value, name):
    assert option_name(value, RESAMPLING) == name


@pytest.mark.parametrize("value", ["9", -1, "averag", "1,3"])
def test_an_unknown_option_is_refused(value):
    with pytest.raises(ValueError):
        option_name(value, RESAMPLING)


@pytest.mark.parametrize("language, environ, changed", [
    ("ru_RU", {"LANG": "C.UTF-8"}, {"LC_MESSAGES": "ru_RU.UTF-8"}),
    ("en_US", {"LANG": "ru_RU.UTF-8", "LC_MESSAGES": "ru_RU.UTF-8"}, {"LC_MESSAGES": "C.UTF-8"}),
    # LC_ALL outranks LC_MESSAGES, so it is the one to change.
    ("ru", {"LC_ALL": "en_US.UTF-8"}, {"LC_ALL": "ru_RU.UTF-8"}),
    ("en", {"LC_ALL": ""}, {"LC_ALL": "", "LC_MESSAGES": "C.UTF-8"}),
])
def test_the_command_speaks_qgis_s_language_whatever_the_environment_says(language, environ, changed):
    assert command_environment(language, {"PATH": "/bin", **environ}) == {"PATH": "/bin", **environ, **changed}


def executable(path):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("#!/bin/sh\n")
    path.chmod(0o755)
    return str(path)


def test_the_command_is_found_in_the_setting_beside_the_plugin_in_the_installed_folder_or_on_the_path(tmp_path):
    # The Debian package links QGIS's plugin folder to the plugin inside /usr/lib/kelvory.
    program = tmp_path / "lib" / "kelvory"
    (program / "qgis" / "kelvory").mkdir(parents=True)
    (tmp_path / "plugins").mkdir()
    plugin = tmp_path / "plugins" / "kelvory"
    plugin.symlink_to(program / "qgis" / "kelvory")
    on_path = executable(tmp_path / "bin" / "kelvory-batch")
    path = str(tmp_path / "bin")
    chosen = executable(tmp_path / "chosen" / "kelvory-batch")

    assert find_batch("", str(plugin), path) == on_path
    installed = executable(tmp_path / "installed" / "kelvory-batch")
    assert find_batch("", str(plugin), path, str(tmp_path / "installed")) == installed
    beside = executable(program / "kelvory-batch")
    assert find_batch("", str(plugin), path, str(tmp_path / "installed")) == beside
    assert find_batch(chosen, str(plugin), path) == chosen


@pytest.mark.parametrize("plugin, places", [
    # In Kelvory's own folder: the command two folders up.
    ("lib/kelvory/qgis/kelvory", ["lib/kelvory/kelvory-batch"]),
    # Installed from the zip among a profile's plugins, where no Kelvory is.
    ("profiles/default/python/plugins/kelvory", []),
])
def test_a_missing_command_names_the_places_looked_at(tmp_path, plugin, places):
    with pytest.raises(BatchNotFound) as found:
        find_batch("", str(tmp_path / plugin), str(tmp_path))
    assert (found.value.chosen, found.value.places) == (None, [str(tmp_path / place) for place in places])


def test_a_chosen_command_that_is_gone_is_not_replaced_by_another(tmp_path):
    executable(tmp_path / "kelvory-batch")
    with pytest.raises(BatchNotFound) as found:
        find_batch(str(tmp_path / "gone"), str(tmp_path / "qgis" / "kelvory"), str(tmp_path))
    assert (found.value.chosen, found.value.places) == (str(tmp_path / "gone"), [])


def test_the_user_guide_is_the_one_beside_the_command_s_real_file(tmp_path):
    real = executable(tmp_path / "lib" / "kelvory" / "kelvory-batch")
    (tmp_path / "bin").mkdir()
    (tmp_path / "bin" / "kelvory-batch").symlink_to(real)
    assert help_file(str(tmp_path / "bin" / "kelvory-batch")) is None
    (tmp_path / "lib" / "kelvory" / "kelvory.pdf").write_bytes(b"%PDF")
    assert help_file(str(tmp_path / "bin" / "kelvory-batch")) == str(tmp_path / "lib" / "kelvory" / "kelvory.pdf")


def test_events_give_progress_counts_and_a_report_with_each_path_as_its_bytes(tmp_path):
    odd = os.fsdecode(b"/maps/\xff.tif")
    run = BatchRun(command_line(FAKE, files=["/maps/a.tif", odd, "/maps/missing.tif", "/maps/bad.tif",
                                             "/maps/ready.tif"]))
    tally = Tally()
    seen = []
    for event in run.events():
        tally.add(event)
        seen.append((event["event"], round(tally.percent())))
    assert run.status == 1
    assert seen[:4] == [("plan", 0), ("start", 0), ("progress", 10), ("progress", 20)]
    assert seen[-1] == ("summary", 100)
    # A file that needed nothing is counted apart from the built ones.
    assert tally.counts() == {"done": 2, "up to date": 1, "kept": 0, "failed": 1, "not found": 1,
                              "busy": 0, "stopped": 0, "not started": 0}

    report = tmp_path / "report.csv"
    write_report(str(report), tally.files)
    # Lines end as QGIS's CSV reader and other tools on every system take them.
    assert b"\r" not in report.read_bytes()
    with open(report, newline="", encoding="utf-8", errors="surrogateescape") as table:
        rows = list(csv.reader(table))
    assert rows[0] == ["path", "outcome", "reason", "reason_code", "levels_before", "levels_after", "seconds"]
    assert rows[2][:2] == [odd, "done"] and os.fsencode(rows[2][0]) == b"/maps/\xff.tif"
    assert rows[3] == ["/maps/missing.tif", "not found", "", "", "", "", "0.1"]
    # The reason worded for QGIS, where the command gives one.
    assert rows[4][:3] == ["/maps/bad.tif", "failed", "read-only: choose a destination folder"]


def test_a_cancel_asks_the_command_to_stop_and_reads_what_it_reports_on_the_way_out(tmp_path):
    run = BatchRun(command_line(FAKE, files=["/maps/a.tif", "/maps/slow.tif", "/maps/c.tif"]))
    tally = Tally()
    canceled = lambda: tally.running.get("/maps/slow.tif") == 50
    for event in run.events(canceled):
        tally.add(event)
    assert run.stopped
    # 130 is the command's own status after a stop; a kill would give -SIGKILL.
    assert run.status == 130
    assert [(e["path"], e["outcome"]) for e in tally.files] == [
        ("/maps/a.tif", "done"), ("/maps/slow.tif", "stopped"), ("/maps/c.tif", "not started")]


def test_a_usage_error_comes_back_as_the_status_and_the_command_s_message():
    run = BatchRun([FAKE, "--bogus"])
    assert list(run.events()) == []
    assert run.status == 2
    assert run.error_text() == "kelvory-batch: unknown option '--bogus'"


def test_a_caller_that_gives_up_on_the_events_leaves_no_command_running():
    run = BatchRun(command_line(FAKE, files=["/maps/slow.tif"]))
    events = run.events()
    next(events)
    events.close()
    assert run.stopped and run.status == 130
