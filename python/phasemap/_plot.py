"""Result.plot: the regions as matplotlib patches, imported only when a plot is asked for."""
import re

# A colour-blind-safe light qualitative palette, by surface index (1 -> first), cycled; the
# SVG map fills its regions with the same colours.
PALETTE = ("#77aadd", "#ee8866", "#eedd88", "#ffaabb", "#99ddff", "#44bb99", "#bbcc33",
           "#aaaa00", "#dddddd")


def mathtext(text):
    """The map's ^{...} and _{...} markup as mathtext; other text stays as it is."""
    if not re.search(r"[\^_]\{", text):
        return text
    parts = re.split(r"([\^_]\{[^}]*\})", text)
    out = []
    for part in parts:
        if re.fullmatch(r"[\^_]\{[^}]*\}", part):
            out.append(f"${part[0]}{{\\mathrm{{{_escaped(part[2:-1])}}}}}$")
        elif part:
            out.append(part.replace("$", r"\$"))
    return "".join(out)


def _escaped(text):
    return re.sub(r"([\\{}$%#&~ ])", lambda m: "\\ " if m.group(1) == " " else "\\" + m.group(1), text)


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
    try:
        import matplotlib.pyplot as plt
        from matplotlib.patches import Polygon
    except ImportError as missing:
        raise ImportError("Result.plot needs matplotlib (Debian: python3-matplotlib)") from missing
    if ax is None:
        ax = plt.gca()
    count = max(1, len(result.diagram.surfaces) - 1)
    for region in result.regions:
        if isinstance(colors, str):
            import matplotlib
            face = matplotlib.colormaps[colors]((region.surface - 1) / count)
        else:
            face = _color_of(region, region.surface, colors)
        ax.add_patch(Polygon(region.corners, closed=True, facecolor=face, edgecolor=edgecolor,
                             **kwargs))
        if labels:
            ax.text(*region.centroid, mathtext(region.name), ha="center", va="center")
    x_min, x_max, y_min, y_max = result.diagram.window
    ax.set_xlim(x_min, x_max)
    ax.set_ylim(y_min, y_max)
    ax.set_xlabel(mathtext(result.diagram.x_title))
    ax.set_ylabel(mathtext(result.diagram.y_title))
    return ax
