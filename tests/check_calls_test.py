"""tools/check-calls: the includes it finds from one map writer's folder into the other's, directly
or through shared headers, and those it lets pass."""
import importlib.machinery
import importlib.util
import pathlib

SOURCE = pathlib.Path(__file__).resolve().parent.parent
LOADER = importlib.machinery.SourceFileLoader("check_calls", str(SOURCE / "tools" / "check-calls"))
check_calls = importlib.util.module_from_spec(
    importlib.util.spec_from_loader("check_calls", LOADER)
)
LOADER.exec_module(check_calls)


def tree(root, files):
    """Writes {path: text} under root and returns root."""
    for name, text in files.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_text(text)
    return root


def test_finds_includes_into_the_other_writer_directly_and_through_headers(tmp_path):
    source = tree(
        tmp_path,
        {
            "page/page.hpp": '#include "modules.hpp"\n',
            "page/leaky.hpp": '#include "page/page.hpp"\n  #  include "printps/internals.hpp"\n',
            "modules.hpp": "",
            "printps/internals.hpp": '#include "page/page.hpp"\n',
            "printps/axes.cpp": '#include "printps/internals.hpp"\n'
            '#include "printsvg/svg_text.hpp"\n',
            "printsvg/svg_text.hpp": "#include <string>\n",
            "printsvg/svg_text.cpp": '#include "printsvg/svg_text.hpp"\n'
            '#include "page/page.hpp"\n',
            "printsvg/printsvg.cpp": '#include "printsvg/svg_text.hpp"\n'
            '#include "page/leaky.hpp"\n',
        },
    )
    assert check_calls.crossed_includes(source) == [
        ("printps/axes.cpp", "printsvg/svg_text.hpp", None),
        ("printsvg/printsvg.cpp", "printps/internals.hpp", ["page/leaky.hpp"]),
    ]


def test_the_program_itself_is_clean():
    assert check_calls.crossed_includes(SOURCE / "src") == []
