"""The package as a user installs it: one version everywhere, pip install
offline into a virtual environment, the man page of pairterms-plot."""

import importlib.util
import os
import re
import shutil
import subprocess
import tomllib

import pytest

import pairterms
from conftest import DATA, PLOT, PYTHON_DIR, REPO, run_plot
from exportdata import REQUIRED


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"^project\(pairterms VERSION (\d+\.\d+\.\d+)\b", f.read(), re.M).group(1)


def test_one_version():
    version = project_version()
    assert pairterms.__version__ == version
    done = run_plot("--version")
    assert done.returncode == 0 and done.stdout == f"pairterms-plot {version}\n"


def test_pyproject_carries_what_the_package_needs():
    with open(os.path.join(PYTHON_DIR, "pyproject.toml"), "rb") as f:
        project = tomllib.load(f)
    assert project["project"]["scripts"] == {"pairterms-plot": "pairterms.plot:main"}
    assert project["tool"]["setuptools"]["dynamic"]["version"] == {
        "attr": "pairterms._version.__version__"}
    data = set(project["tool"]["setuptools"]["package-data"]["pairterms"])
    files = {n for n in os.listdir(os.path.join(PYTHON_DIR, "pairterms"))
             if not n.endswith(".py") and n != "__pycache__"}
    assert files == data == {"programs.tsv", "py.typed"}


def _missing_tools():
    missing = [m for m in ("ensurepip", "setuptools", "wheel") if importlib.util.find_spec(m) is None]
    return f"no {', '.join(missing)}" if missing else None


def test_pip_install_offline_into_a_venv(tmp_path):
    """pip builds and installs the package from a copy of python/ with
    Debian's setuptools, without the network; the installed command and
    the installed package are the ones used, with the project's version."""
    missing = _missing_tools()
    if missing:
        if REQUIRED:
            pytest.fail(f"{missing} (tools/deps.sh installs python3-venv, python3-setuptools "
                        f"and python3-wheel)")
        pytest.skip(missing)
    source = tmp_path / "python"
    shutil.copytree(PYTHON_DIR, source, ignore=shutil.ignore_patterns(
        "__pycache__", "tests", "build", "*.egg-info"))
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PYTHON", "PIP_"))}
    env.update(PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1", PYTHONDONTWRITEBYTECODE="1")
    venv = tmp_path / "env"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", venv],
                   check=True, capture_output=True, env=env)
    done = subprocess.run([venv / "bin" / "pip", "install", "--no-index", "--no-build-isolation",
                           source], capture_output=True, text=True, env=env, cwd=tmp_path)
    assert done.returncode == 0, done.stdout[-2000:] + done.stderr[-2000:]

    version = project_version()
    command = venv / "bin" / "pairterms-plot"
    done = subprocess.run([command, "--version"], capture_output=True, text=True, env=env)
    assert done.returncode == 0 and done.stdout == f"pairterms-plot {version}\n", done.stderr
    probe = ("import importlib.metadata as m, pairterms, pairterms.plot, os; "
             "print(os.path.dirname(pairterms.__file__)); print(m.version('pairterms')); "
             "print(pairterms.__version__)")
    done = subprocess.run([venv / "bin" / "python", "-c", probe], capture_output=True,
                          text=True, env=env, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    folder, meta, mine = done.stdout.split()
    assert folder.startswith(str(venv)) and meta == mine == version
    assert {"programs.tsv", "py.typed"} <= set(os.listdir(folder))
    picture = tmp_path / "c.png"
    done = subprocess.run([command, "counts", os.path.join(DATA, "tiny", "expected"),
                           "-o", picture], capture_output=True, text=True, env=env)
    assert done.returncode == 0, done.stderr
    assert picture.read_bytes().startswith(b"\x89PNG")


def test_man_page():
    """docs/man/pairterms-plot.1 passes the checks of the programs' pages:
    it renders without warnings, has every section, lists the options of
    --help, names the other programs."""
    if not (shutil.which("groff") and shutil.which("man")):
        if REQUIRED:
            pytest.fail("groff or man is missing (tools/deps.sh installs them)")
        pytest.skip("no groff or man")
    others = ["termshort", "termsecul", "termall", "seriescheck", "seriesgen"]
    done = subprocess.run(["bash", os.path.join(REPO, "tests", "manpage_check.sh"),
                           os.path.join(REPO, "docs", "man", "pairterms-plot.1"), PLOT, *others],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
