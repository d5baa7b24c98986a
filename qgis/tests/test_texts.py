"""The plugin's words against its Russian translation file: every text the code shows
has a finished translation with the same placeholders, and the file keeps none that the
code no longer has (which would mean a reworded text now shows in English)."""

import ast
import glob
import os
import re
import xml.etree.ElementTree as ElementTree

import pytest

QGIS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def shown_texts():
    texts = set()
    for path in glob.glob(os.path.join(QGIS, "kelvory", "*.py")):
        with open(path, encoding="utf-8") as source:
            for node in ast.walk(ast.parse(source.read())):
                if (isinstance(node, ast.Call) and getattr(node.func, "id", None) in ("tr", "later")
                        and node.args and isinstance(node.args[0], ast.Constant)):
                    texts.add(node.args[0].value)
    return texts


@pytest.mark.parametrize("ts", sorted(glob.glob(os.path.join(QGIS, "i18n", "kelvory_*.ts"))))
def test_every_text_has_a_finished_translation_with_its_placeholders(ts):
    messages = {message.findtext("source"): message.find("translation")
                for message in ElementTree.parse(ts).getroot().iter("message")}
    assert set(messages) == shown_texts()
    for source, translation in messages.items():
        assert translation.get("type") is None and translation.text, source
        assert sorted(re.findall(r"\{[^}]*\}", translation.text)) == sorted(re.findall(r"\{[^}]*\}", source)), source
