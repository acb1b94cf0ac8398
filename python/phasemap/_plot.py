"""Result.plot and Envelope.plot: the regions as matplotlib patches, imported only when a
plot is asked for."""
import re

from . import _core

# A colour-blind-safe light qualitative palette, by surface index (1 -> first), cycled; the
# SVG map fills its regions with the same colours.
PALETTE = (
    "#77aadd",
    "#ee8866",
    "#eedd88",
    "#ffaabb",
    "#99ddff",
    "#44bb99",
    "#bbcc33",
    "#aaaa00",
    "#dddddd",
)


def mathtext(text):
    """The map's ^{...} and _{...} markup as mathtext, split as the map splits it: each
    raised or lowered piece set as that many nested super- or subscripts, a stacked pair as
    one; text without markup stays as it is."""
    if not re.search(r"[\^_}]", text):
        return text.replace("$", r"\$")
    segments = [
        (raw.decode("utf-8", "surrogateescape"), level)
        for raw, level in _core.label_segments(text.encode("utf-8", "surrogateescape"))
    ]
    out = []
    for j, (piece, level) in enumerate(segments):
        if level == -STACKED and j > 0 and segments[j - 1][1] == STACKED:
            continue  # set with the upper member
        if level == 0:
            out.append(piece.replace("$", r"\$"))
        elif level == STACKED and j + 1 < len(segments) and segments[j + 1][1] == -STACKED:
            out.append(f"${{}}^{{{_roman(piece)}}}_{{{_roman(segments[j + 1][0])}}}$")
        elif piece:
            depth = 1 if abs(level) == STACKED else abs(level)
            mark = "^" if level > 0 else "_"
            out.append("$" + ("{}" + mark + "{") * depth + _roman(piece) + "}" * depth + "$")
    return "".join(out)


STACKED = 9  # the level of the upper member of a stacked pair; -9 the lower


def _roman(text):
    return f"\\mathrm{{{_escaped(text)}}}" if text else "{}"


def _escaped(text):
    return re.sub(
        r"([\\{}$%#&~ ])", lambda m: "\\ " if m.group(1) == " " else "\\" + m.group(1), text
    )


def _color_of(region, index, colors):
    if colors is None:
        return PALETTE[(region.surface - 1) % len(PALETTE)]
    if isinstance(colors, str):
        import matplotlib

        cmap = matplotlib.colormaps[colors]
        return cmap(index / max(1, index_count(cmap)))
    for key in (region.name, region.surface):
        if key in colors:
            return colors[key]
    return PALETTE[(region.surface - 1) % len(PALETTE)]


def index_count(cmap):
    return max(1, cmap.N - 1)


def plot(result, ax, colors, labels, edgecolor, **kwargs):
    diagram = result.diagram
    return draw(
        result.regions,
        len(diagram.surfaces),
        diagram.window,
        (diagram.x_title, diagram.y_title),
        ax,
        colors,
        labels,
        edgecolor,
        **kwargs,
    )


def draw(regions, surface_count, window, titles, ax, colors, labels, edgecolor, **kwargs):
    """Draws `regions` of a diagram of `surface_count` surfaces on `ax` over the window
    (x_min, x_max, y_min, y_max), with the axis titles `titles` (x, y) as mathtext."""
    try:
        import matplotlib.pyplot as plt
        from matplotlib.patches import Polygon
    except ImportError as missing:
        raise ImportError("plot needs matplotlib (Debian: python3-matplotlib)") from missing
    if ax is None:
        ax = plt.gca()
    count = max(1, surface_count - 1)
    for region in regions:
        if isinstance(colors, str):
            import matplotlib

            face = matplotlib.colormaps[colors]((region.surface - 1) / count)
        else:
            face = _color_of(region, region.surface, colors)
        ax.add_patch(
            Polygon(region.corners, closed=True, facecolor=face, edgecolor=edgecolor, **kwargs)
        )
        if labels:
            ax.text(*region.centroid, mathtext(region.name), ha="center", va="center")
    x_min, x_max, y_min, y_max = window
    ax.set_xlim(x_min, x_max)
    ax.set_ylim(y_min, y_max)
    ax.set_xlabel(mathtext(titles[0]))
    ax.set_ylabel(mathtext(titles[1]))
    return ax
