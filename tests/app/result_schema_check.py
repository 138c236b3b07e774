#!/usr/bin/env python3
"""Checks asmbench's result documents against docs/result.schema.json.

    result_schema_check.py ASMBENCH SCHEMA

Runs asmbench for a whole run with repeats and a multi-core pass, a subset without one, and a run
on another start picture; validates each document and checks that the schema does reject a
document with a part missing or a wrong hash."""
import copy
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema


def document(asmbench, *args, env=None):
    run = subprocess.run([asmbench, "--json", "-", *args], capture_output=True, text=True, env=env, check=False)
    if run.returncode != 0:
        sys.exit(f"asmbench {' '.join(args)} exited with {run.returncode}: {run.stderr}")
    return json.loads(run.stdout)


def main():
    asmbench, schema_path = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)

    documents = {
        "whole run": document(asmbench, "--repeat", "2", "--threads", "2"),
        "subset": document(asmbench, "--tests", "contour,twirl", "--threads", "0", "--min-time", "0"),
        "sustained": document(asmbench, "--sustained", "0.01", "--threads", "1"),
    }
    # Another start picture: the pictures cannot be checked.
    with tempfile.TemporaryDirectory() as assets:
        source = os.path.dirname(schema_path) + "/../assets"
        shutil.copy(source + "/picture2.bmp", assets + "/picture2.bmp")
        shutil.copy(source + "/picture2.bmp", assets + "/picture1.jpg")  # read by content, not by name
        documents["other picture"] = document(asmbench, "--assets", assets, "--tests", "ripple", "--threads", "1",
                                              "--min-time", "0")

    # The bundled reference results, each against the schema of its own version (the current one,
    # or docs/result-vN.schema.json for an earlier N).
    source = os.path.dirname(schema_path) + "/../assets/references"
    for file in sorted(os.listdir(source)):
        with open(os.path.join(source, file), encoding="utf-8") as f:
            documents["reference " + file] = json.load(f)
    current = schema["properties"]["format_version"]["const"]
    validators = {current: validator}

    def validator_of(doc):
        version = doc.get("format_version")
        if version not in validators:
            path = os.path.join(os.path.dirname(schema_path), f"result-v{version}.schema.json")
            if not os.path.exists(path):
                return validator
            with open(path, encoding="utf-8") as f:
                earlier = json.load(f)
            validators[version] = jsonschema.validators.validator_for(earlier)(earlier)
        return validators[version]

    failed = False
    for name, doc in documents.items():
        errors = sorted(validator_of(doc).iter_errors(doc), key=lambda e: list(e.path))
        for error in errors:
            print(f"{name}: {'/'.join(map(str, error.path))}: {error.message}")
        failed |= bool(errors)
    if documents["whole run"]["validation"]["state"] != "valid":
        print("whole run: the pictures were not valid")
        failed = True
    if documents["other picture"]["validation"]["state"] != "not_applicable":
        print("other picture: validation should be not applicable")
        failed = True

    spoilt = copy.deepcopy(documents["whole run"])
    del spoilt["validation"]
    wrong_hash = copy.deepcopy(documents["whole run"])
    wrong_hash["tests"][0]["samples"][0]["hash"] = "not-a-hash"
    for name, doc in (("without validation", spoilt), ("with a wrong hash", wrong_hash)):
        if validator.is_valid(doc):
            print(f"the schema accepts a document {name}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
