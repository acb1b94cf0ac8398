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
            "maps/page/page.hpp": '#include "core/modules.hpp"\n',
            "maps/page/leaky.hpp": '#include "maps/page/page.hpp"\n'
            '  #  include "maps/printps/internals.hpp"\n',
            "core/modules.hpp": "",
            "maps/printps/internals.hpp": '#include "maps/page/page.hpp"\n',
            "maps/printps/axes.cpp": '#include "maps/printps/internals.hpp"\n'
            '#include "maps/printsvg/svg_text.hpp"\n',
            "maps/printsvg/svg_text.hpp": "#include <string>\n",
            "maps/printsvg/svg_text.cpp": '#include "maps/printsvg/svg_text.hpp"\n'
            '#include "maps/page/page.hpp"\n',
            "maps/printsvg/printsvg.cpp": '#include "maps/printsvg/svg_text.hpp"\n'
            '#include "maps/page/leaky.hpp"\n',
        },
    )
    assert check_calls.crossed_includes(source) == [
        ("maps/printps/axes.cpp", "maps/printsvg/svg_text.hpp", None),
        ("maps/printsvg/printsvg.cpp", "maps/printps/internals.hpp", ["maps/page/leaky.hpp"]),
    ]


def test_the_program_itself_is_clean():
    assert check_calls.crossed_includes(SOURCE / "src") == []
