# bash completion for vistrel-batch: its options, the quality list, and folders.
_vistrel_batch() {
  local cur prev words cword split
  _init_completion -s || return

  local i
  for ((i = 1; i < cword; i++)); do
    if [[ ${words[i]} == -- ]]; then
      _filedir -d
      return
    fi
  done

  case $prev in
    --quality)
      COMPREPLY=($(compgen -W '60 65 70 75 80 85 90 95 100' -- "$cur"))
      return
      ;;
    --style)
      COMPREPLY=($(compgen -W 'classic modern' -- "$cur"))
      return
      ;;
    --originals)
      COMPREPLY=($(compgen -W 'link none' -- "$cur"))
      return
      ;;
    --sort)
      COMPREPLY=($(compgen -W 'name date date-desc' -- "$cur"))
      return
      ;;
    --types)
      COMPREPLY=($(compgen -W 'jpeg-gif all' -- "$cur"))
      return
      ;;
    --max-width | --max-height | --prefix | --rows | --columns | --border | --padding | --spacing | \
      --view-size | --title)
      return
      ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--max-width= --max-height= --quality= --prefix= --rows= --columns=
      --border= --padding= --spacing= --style= --view-size= --originals= --title= --sort= --types=
      --albums --open --rebuild --help --version --' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  _filedir -d
}
complete -F _vistrel_batch vistrel-batch
